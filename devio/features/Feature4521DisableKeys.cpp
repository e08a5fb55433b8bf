#include "devio/features/Feature4521DisableKeys.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature4521DisableKeys::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature4521DisableKeys>(Feature4521DisableKeys::Id);

enum Function : int {
  GetCapabilitiesFunction = 0,
  GetDisabledKeysFunction = 1,
  SetDisabledKeysFunction = 2,
};
}  // namespace

IFeatureForceInclusion4521::IFeatureForceInclusion4521() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4521DisableKeys", "devio::IFeatureForceInclusion4521::IFeatureForceInclusion4521",
                     "Devio: Feature4521 included");
}

Feature4521DisableKeys::Feature4521DisableKeys(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4521DisableKeys::GetCapabilities(int* keys) {
  Bytes p;
  if (!query(GetCapabilitiesFunction, {}, 1, p, true)) return false;
  store(keys, p[0]);
  return true;
}

bool Feature4521DisableKeys::SetDisabledKeys(int value) {
  return pending_.request(*this, FN(SetDisabledKeys), "Feature 0x4521 caching pending change", value, writeNow());
}

bool Feature4521DisableKeys::GetDisabledKeys(int* keys) {
  Bytes p;
  if (!query(GetDisabledKeysFunction, {}, 1, p)) return false;
  store(keys, p[0]);
  return true;
}

bool Feature4521DisableKeys::process_pending_changes(bool device_configured) {
  featureLog(FN(process_pending_changes), LogInfo,
             "Feature4521DisableKeys::process_pending_changes(device_configured = %d)", device_configured);
  return pending_.replay(writeNow());
}

void Feature4521DisableKeys::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetDisabledKeysFunction, 1))
    fire("Feature4521DisableKeys::SettingChange::onSettingChange", &SettingChange::onSettingChange, swid,
         (payload[0] & 1) != 0, (payload[0] & 2) != 0, (payload[0] & 4) != 0, (payload[0] & 8) != 0,
         (payload[0] & 16) != 0);
}

bool Feature4521DisableKeys::SetDisabledKeysNow(int value) {
  return change(FN(SetDisabledKeysNow), SetDisabledKeysFunction, {lowByte(value)});
}

PendingChanges<int>::Write Feature4521DisableKeys::writeNow() {
  return [this](int value) { return SetDisabledKeysNow(value); };
}

}  // namespace devio
