#include "devio/features/Feature2005ButtonSwapCancel.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature2005ButtonSwapCancel::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature2005ButtonSwapCancel>(Feature2005ButtonSwapCancel::Id);

enum Function : int {
  GetSwapModeFunction = 0,
  SetSwapModeFunction = 1,
};
}  // namespace

IFeatureForceInclusion2005::IFeatureForceInclusion2005() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2005ButtonSwapCancel",
                     "devio::IFeatureForceInclusion2005::IFeatureForceInclusion2005", "Devio: Feature2005 included");
}

Feature2005ButtonSwapCancel::Feature2005ButtonSwapCancel(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2005ButtonSwapCancel::GetSwapMode(bool* cancelled) {
  Bytes p;
  if (!query(GetSwapModeFunction, {}, 1, p)) return false;
  store(cancelled, p[0] != 0);
  return true;
}

bool Feature2005ButtonSwapCancel::SetSwapMode(bool value) {
  return pending_.request(*this, FN(SetSwapMode), "Feature 0x2005 caching pending change", value, writeNow());
}

bool Feature2005ButtonSwapCancel::process_pending_changes(bool device_configured) {
  featureLog(FN(process_pending_changes), LogInfo,
             "Feature2005ButtonSwapCancel::process_pending_changes(device_configured = %d)", device_configured);
  return pending_.replay(writeNow());
}

void Feature2005ButtonSwapCancel::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetSwapModeFunction, 1))
    fire("Feature2005ButtonSwapCancel::SettingChange::onSettingChange", &SettingChange::onSettingChange, swid,
         payload[0] != 0);
}

bool Feature2005ButtonSwapCancel::SetSwapModeNow(bool value) {
  return change(FN(SetSwapModeNow), SetSwapModeFunction, {Byte{value}});
}

PendingChanges<bool>::Write Feature2005ButtonSwapCancel::writeNow() {
  return [this](bool value) { return SetSwapModeNow(value); };
}

}  // namespace devio
