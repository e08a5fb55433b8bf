#include "devio/features/Feature6010Gestures.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature6010Gestures::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature6010Gestures>(Feature6010Gestures::Id);

enum Function : int {
  GetEnabledGesturesFunction = 0,
  SetEnabledGesturesFunction = 1,
};
}  // namespace

IFeatureForceInclusion6010::IFeatureForceInclusion6010() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature6010Gestures", "devio::IFeatureForceInclusion6010::IFeatureForceInclusion6010",
                     "Devio: Feature6010 included");
}

Feature6010Gestures::Feature6010Gestures(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature6010Gestures::GetEnabledGestures(int* mask) {
  Bytes p;
  if (!query(GetEnabledGesturesFunction, {}, 2, p)) return false;
  store(mask, bigEndian16(p, 0));
  return true;
}

bool Feature6010Gestures::SetEnabledGestures(int mask) {
  return change(FN(SetEnabledGestures), SetEnabledGesturesFunction, {highByte(mask), lowByte(mask)});
}

}  // namespace devio
