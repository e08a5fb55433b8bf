#include "devio/features/Feature6012Gestures.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature6012Gestures::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature6012Gestures>(Feature6012Gestures::Id);

enum Function : int {
  IsGestureEnabledFunction = 0,
  EnableGestureFunction = 1,
};
}  // namespace

IFeatureForceInclusion6012::IFeatureForceInclusion6012() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature6012Gestures", "devio::IFeatureForceInclusion6012::IFeatureForceInclusion6012",
                     "Devio: Feature6012 included");
}

Feature6012Gestures::Feature6012Gestures(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature6012Gestures::IsGestureEnabled(int gesture, bool* enabled) {
  Bytes p;
  if (!query(IsGestureEnabledFunction, {lowByte(gesture)}, 2, p)) return false;
  store(enabled, p[1] != 0);
  return true;
}

bool Feature6012Gestures::EnableGesture(int gesture, bool enabled) {
  return change(FN(EnableGesture), EnableGestureFunction, {lowByte(gesture), Byte{enabled}});
}

}  // namespace devio
