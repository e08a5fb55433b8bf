#include "devio/features/Feature2110SmartShift.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2110SmartShift::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2110SmartShift>(Feature2110SmartShift::Id);

enum Function : int {
  GetRatchetControlModeFunction = 0,
  SetRatchetControlModeFunction = 1,
};
}  // namespace

IFeatureForceInclusion2110::IFeatureForceInclusion2110() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2110SmartShift", "devio::IFeatureForceInclusion2110::IFeatureForceInclusion2110",
                     "Devio: Feature2110 included");
}

Feature2110SmartShift::Feature2110SmartShift(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2110SmartShift::GetRatchetControlMode(int* mode, int* autoDisengage, int* defaultAutoDisengage) {
  Bytes p;
  if (!query(GetRatchetControlModeFunction, {}, 3, p)) return false;
  store(mode, p[0]);
  store(autoDisengage, p[1]);
  store(defaultAutoDisengage, p[2]);
  return true;
}

bool Feature2110SmartShift::SetRatchetControlMode(int mode, int autoDisengage, int defaultAutoDisengage) {
  return change(FN(SetRatchetControlMode), SetRatchetControlModeFunction,
                {lowByte(mode), lowByte(autoDisengage), lowByte(defaultAutoDisengage)});
}

}  // namespace devio
