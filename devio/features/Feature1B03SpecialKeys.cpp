#include "devio/features/Feature1B03SpecialKeys.h"

#include <atomic>
#include <cstdint>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature1B03SpecialKeys::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1B03SpecialKeys>(Feature1B03SpecialKeys::Id);

enum Function : int {
  GetControlCountFunction = 0,
  GetControlInfoFunction = 1,
  GetControlReportingFunction = 4,
  SetCtrlIdReportingFunction = 5,
};
}  // namespace

IFeatureForceInclusion1B03::IFeatureForceInclusion1B03() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1B03SpecialKeys", "devio::IFeatureForceInclusion1B03::IFeatureForceInclusion1B03",
                     "Devio: Feature1B03 included");
}

Feature1B03SpecialKeys::Feature1B03SpecialKeys(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1B03SpecialKeys::GetControlCount(int* count) {
  Bytes p;
  if (!query(GetControlCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

bool Feature1B03SpecialKeys::GetControlInfo(int index, ControlInfo* info) {
  Bytes p;
  if (!query(GetControlInfoFunction, {lowByte(index)}, 5, p, true)) return false;
  store(info, controlInfoOf(p));
  return true;
}

bool Feature1B03SpecialKeys::GetControlReporting(int control, Byte* flags, int* remap) {
  Bytes p;
  if (!query(GetControlReportingFunction, {highByte(control), lowByte(control)}, 3, p)) return false;
  const PendingReportingChange reporting = reportingOf(p);
  store(flags, reporting.flags);
  store(remap, reporting.remap);
  return true;
}

bool Feature1B03SpecialKeys::SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) {
  return pending_.request(*this, FN(SetCtrlIdReporting), "Feature 0x1B03 caching pending change",
                          {static_cast<std::uint16_t>(control), reporting, remap}, writeNow());
}

bool Feature1B03SpecialKeys::process_pending_changes(bool device_configured) {
  featureLog(FN(process_pending_changes), LogInfo,
             "Feature1B03SpecialKeys::process_pending_changes(device_configured = %d)", device_configured);
  return pending_.replay(writeNow());
}

void Feature1B03SpecialKeys::onFeatureReport(int function, const Bytes& payload) {
  if (payload.size() < KeyChangeLength) return;
  if (function == 0)
    fire("Feature1B03SpecialKeys::KeyReport::onKeyChange", &KeyReport::onKeyChange, bigEndian16List(payload, 4));
}

void Feature1B03SpecialKeys::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (!changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetCtrlIdReportingFunction,
                        ReportingMinimum))
    return;
  const PendingReportingChange change = reportingOf(payload);
  featureLog(FN(onUnexpectedResponse), LogInfo, "sending OnKeyDiverted(swid=0x%x control=%d, diverted=%d, remap=%d)",
             swid, change.control, change.flags & 1, change.remap);
  fire("Feature1B03SpecialKeys::KeyReport::OnKeyDiverted", &KeyReport::OnKeyDiverted, swid, unsigned{change.control},
       (change.flags & 1) != 0);
}

bool Feature1B03SpecialKeys::SetCtrlIdReportingNow(int control, Byte reporting, std::uint16_t remap) {
  if (!ensureConfigured(FN(SetCtrlIdReportingNow))) return false;
  featureLog(FN(SetCtrlIdReportingNow), LogInfo,
             "Feature1B03SpecialKeys::SetCtrlIdReportingNow(ctrlId = %u, reporting = %d)", control, reporting);
  return change(FN(SetCtrlIdReportingNow), SetCtrlIdReportingFunction,
                reportingParams({static_cast<std::uint16_t>(control), reporting, remap}));
}

PendingChanges<PendingReportingChange>::Write Feature1B03SpecialKeys::writeNow() {
  return [this](const PendingReportingChange& c) { return SetCtrlIdReportingNow(c.control, c.flags, c.remap); };
}

}  // namespace devio
