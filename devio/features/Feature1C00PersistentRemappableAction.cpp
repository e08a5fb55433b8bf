#include "devio/features/Feature1C00PersistentRemappableAction.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1C00PersistentRemappableAction::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1C00PersistentRemappableAction>(Feature1C00PersistentRemappableAction::Id);

enum Function : int {
  GetCapabilitiesFunction = 0,
  GetActionInfoFunction = 1,
  GetActionFunction = 2,
  SetActionFunction = 3,
  ResetActionFunction = 4,
  ResetAllActionsFunction = 5,
  GetActionSourceFunction = 6,
};

Bytes withControl(int control, const Bytes& action) {
  Bytes params{static_cast<Byte>(control >> 8), static_cast<Byte>(control)};
  params.insert(params.end(), action.begin(), action.end());
  return params;
}
}  // namespace

IFeatureForceInclusion1C00::IFeatureForceInclusion1C00() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1C00PersistentRemappableAction",
                     "devio::IFeatureForceInclusion1C00::IFeatureForceInclusion1C00", "Devio: Feature1C00 included");
}

Feature1C00PersistentRemappableAction::Feature1C00PersistentRemappableAction(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1C00PersistentRemappableAction::GetCapabilities(int* count, int* flags) {
  Bytes p;
  if (!query(GetCapabilitiesFunction, {}, 2, p)) return false;
  store(count, p[0]);
  store(flags, p[1]);
  return true;
}

bool Feature1C00PersistentRemappableAction::GetActionInfo(int index, int* control, int* flags) {
  Bytes p;
  if (!query(GetActionInfoFunction, {lowByte(index)}, 3, p)) return false;
  store(control, bigEndian16(p, 0));
  store(flags, p[2]);
  return true;
}

bool Feature1C00PersistentRemappableAction::GetAction(int control, Bytes* action) {
  Bytes p;
  if (!query(GetActionFunction, {highByte(control), lowByte(control)}, 2, p)) return false;
  store(action, Bytes(p.begin() + 2, p.end()));
  return true;
}

bool Feature1C00PersistentRemappableAction::SetAction(int control, const Bytes& action) {
  return change(FN(SetAction), SetActionFunction, withControl(control, action));
}

bool Feature1C00PersistentRemappableAction::ResetAction(int control) {
  return change(FN(ResetAction), ResetActionFunction, {highByte(control), lowByte(control)});
}

bool Feature1C00PersistentRemappableAction::ResetAllActions() {
  return change(FN(ResetAllActions), ResetAllActionsFunction, {});
}

bool Feature1C00PersistentRemappableAction::GetActionSource(int control, int* source) {
  Bytes p;
  if (!query(GetActionSourceFunction, {highByte(control), lowByte(control)}, 3, p)) return false;
  store(source, p[2]);
  return true;
}

}  // namespace devio
