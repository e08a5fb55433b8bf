#include "devio/features/ControlReportingFeature.h"

#include <cstdio>
#include <utility>

#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/features/IFeature1B04SpecialKeys.h"
#include "devio/protocol/FeatureLog.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
enum Function : int {
  GetControlCountFunction = 0,
  GetControlInfoFunction = 1,
};
}  // namespace

template <class Interface>
ControlReportingFeature<Interface>::ControlReportingFeature(unsigned id, int index, std::weak_ptr<IDevice> device,
                                                            const char* className, int getReportingFunction,
                                                            int setReportingFunction)
    : Feature(id, index, std::move(device)),
      className_(className),
      getReportingFunction_(getReportingFunction),
      setReportingFunction_(setReportingFunction) {}

template <class Interface>
bool ControlReportingFeature<Interface>::GetControlCount(int* count) {
  Bytes p;
  if (!query(GetControlCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

template <class Interface>
bool ControlReportingFeature<Interface>::queryControlInfo(int index, ControlInfo* info) {
  Bytes p;
  if (!query(GetControlInfoFunction, {lowByte(index)}, ControlInfoMinimum, p, true)) return false;
  *info = controlInfoOf(p);
  return true;
}

template <class Interface>
bool ControlReportingFeature<Interface>::GetControlReporting(int control, Byte* flags, int* remap) {
  Bytes p;
  if (!query(getReportingFunction_, {highByte(control), lowByte(control)}, ReportingMinimum, p)) return false;
  const PendingReportingChange reporting = reportingOf(p);
  store(flags, reporting.flags);
  store(remap, reporting.remap);
  return true;
}

template <class Interface>
bool ControlReportingFeature<Interface>::SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) {
  char caching[48];
  std::snprintf(caching, sizeof caching, "Feature 0x%04X caching pending change", id());
  return pending_.request(*this, operation("SetCtrlIdReporting").c_str(), caching,
                          {static_cast<std::uint16_t>(control), reporting, remap}, writeNow());
}

template <class Interface>
bool ControlReportingFeature<Interface>::process_pending_changes(bool device_configured) {
  const std::string op = operation("process_pending_changes");
  featureLog(op.c_str(), LogInfo, "%s(device_configured = %d)", featureLogName(op.c_str()), device_configured);
  return pending_.replay(writeNow());
}

template <class Interface>
bool ControlReportingFeature<Interface>::SetCtrlIdReportingNow(int control, Byte reporting, std::uint16_t remap) {
  const std::string op = operation("SetCtrlIdReportingNow");
  if (!ensureConfigured(op.c_str())) return false;
  featureLog(op.c_str(), LogInfo, "%s(ctrlId = %u, reporting = %d)", featureLogName(op.c_str()), control, reporting);
  return change(op.c_str(), setReportingFunction_,
                reportingParams({static_cast<std::uint16_t>(control), reporting, remap}));
}

template <class Interface>
std::optional<PendingReportingChange> ControlReportingFeature<Interface>::reportingChangedElsewhere(
    unsigned function, unsigned swid, const Bytes& payload) {
  const std::string op = operation("onUnexpectedResponse");
  if (!changedElsewhere(op.c_str(), function, swid, payload, setReportingFunction_, ReportingMinimum))
    return std::nullopt;
  const PendingReportingChange change = reportingOf(payload);
  featureLog(op.c_str(), LogInfo, "sending OnKeyDiverted(swid=0x%x control=%d, diverted=%d, remap=%d)", swid,
             change.control, change.flags & 1, change.remap);
  return change;
}

template <class Interface>
std::string ControlReportingFeature<Interface>::operation(const char* name) const {
  return "devio::" + className_ + "::" + name;
}

template <class Interface>
PendingChanges<PendingReportingChange>::Write ControlReportingFeature<Interface>::writeNow() {
  return [this](const PendingReportingChange& c) { return SetCtrlIdReportingNow(c.control, c.flags, c.remap); };
}

template class ControlReportingFeature<IFeature1B03SpecialKeys>;
template class ControlReportingFeature<IFeature1B04SpecialKeys>;

}  // namespace devio
