#include "devio/features/Feature40A2FnInversion.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature40A2FnInversion::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature40A2FnInversion>(Feature40A2FnInversion::Id);

enum Function : int {
  GetGlobalFnInversionFunction = 0,
  SetGlobalFnInversionFunction = 1,
};
}  // namespace

IFeatureForceInclusion40A2::IFeatureForceInclusion40A2() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature40A2FnInversion", "devio::IFeatureForceInclusion40A2::IFeatureForceInclusion40A2",
                     "Devio: Feature40A2 included");
}

Feature40A2FnInversion::Feature40A2FnInversion(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature40A2FnInversion::GetGlobalFnInversion(bool* inverted, bool* defaultInverted) {
  Bytes p;
  if (!query(GetGlobalFnInversionFunction, {}, 2, p)) return false;
  store(inverted, p[0] != 0);
  store(defaultInverted, p[1] != 0);
  return true;
}

bool Feature40A2FnInversion::SetGlobalFnInversion(bool value) {
  return pending_.request(*this, FN(SetGlobalFnInversion), "Feature 0x40A2 caching pending change", value, writeNow());
}

bool Feature40A2FnInversion::process_pending_changes(bool device_configured) {
  featureLog(FN(process_pending_changes), LogInfo,
             "Feature40A2FnInversion::process_pending_changes(device_configured = %d)", device_configured);
  return pending_.replay(writeNow());
}

void Feature40A2FnInversion::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetGlobalFnInversionFunction, 1))
    fire("Feature40A2FnInversion::SettingChange::onSettingChange", &SettingChange::onSettingChange, swid,
         payload[0] != 0);
}

bool Feature40A2FnInversion::SetGlobalFnInversionNow(bool value) {
  return change(FN(SetGlobalFnInversionNow), SetGlobalFnInversionFunction, {Byte{value}});
}

PendingChanges<bool>::Write Feature40A2FnInversion::writeNow() {
  return [this](bool value) { return SetGlobalFnInversionNow(value); };
}

}  // namespace devio
