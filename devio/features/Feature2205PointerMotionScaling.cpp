#include "devio/features/Feature2205PointerMotionScaling.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2205PointerMotionScaling::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature2205PointerMotionScaling>(Feature2205PointerMotionScaling::Id);

enum Function : int {
  GetPointerScalingValueFunction = 0,
  SetPointerScalingValueFunction = 1,
};
}  // namespace

IFeatureForceInclusion2205::IFeatureForceInclusion2205() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2205PointerMotionScaling",
                     "devio::IFeatureForceInclusion2205::IFeatureForceInclusion2205", "Devio: Feature2205 included");
}

Feature2205PointerMotionScaling::Feature2205PointerMotionScaling(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2205PointerMotionScaling::GetPointerScalingValue(int* value) {
  Bytes p;
  if (!query(GetPointerScalingValueFunction, {}, 2, p)) return false;
  store(value, bigEndian16(p, 0));
  return true;
}

bool Feature2205PointerMotionScaling::SetPointerScalingValue(int value) {
  return change(FN(SetPointerScalingValue), SetPointerScalingValueFunction, {highByte(value), lowByte(value)});
}

}  // namespace devio
