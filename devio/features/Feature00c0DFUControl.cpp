#include "devio/features/Feature00c0DFUControl.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature00c0DFUControl>(Feature00c0DFUControl::Id);

constexpr const char* Tag = "Feature00c0DFUControl";
constexpr int EnterDfuFunction = 0;
constexpr unsigned ConfigFunction = 1;
}  // namespace

IFeatureForceInclusion00c0::IFeatureForceInclusion00c0() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion00c0::IFeatureForceInclusion00c0", "Devio: Feature00c0 included");
}

Feature00c0DFUControl::Feature00c0DFUControl(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

// The "DFU" bytes guard every request of the DFU control features.
bool Feature00c0DFUControl::EnterDfu() {
  Bytes payload;
  return sendFeatureCommand(EnterDfuFunction, {'D', 'F', 'U'}, payload, false);
}

void Feature00c0DFUControl::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  xLog(Tag, LogInfo, "devio::Feature00c0DFUControl::onUnexpectedResponse",
       "Feature00c0DFUControl::onUnexpectedResponse(func=%d, swid=0x%x)", function, swid);
  if (function != ConfigFunction || payload.size() < 2) return;
  const auto value = static_cast<unsigned short>(bigEndian16(payload, 0));
  Producer<ConfigReport>::produce_direct([swid, value](ConfigReport* s) { s->onConfigReport(swid, value); });
}

}  // namespace devio
