#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devio/features/SpecialKeys.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/PendingChanges.h"

namespace devio {

// What the special-keys members with reporting (0x1B03, 0x1B04) do alike: the control count, a
// control's description, its reporting read and changed (kept while the device is away and
// replayed), and another application's reporting change. They differ in the function numbers
// of the reporting and in their events; Interface is the member's interface.
template <class Interface>
class ControlReportingFeature : public Feature, public Interface {
 public:
  bool GetControlCount(int* count) override;
  bool GetControlReporting(int control, Byte* flags, int* remap) override;
  bool SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) override;
  bool process_pending_changes(bool device_configured) override;

  // The immediate form of SetCtrlIdReporting.
  bool SetCtrlIdReportingNow(int control, Byte reporting, std::uint16_t remap);
  const std::vector<PendingReportingChange>& pendingChanges() const { return pending_.entries(); }

 protected:
  // className is the member's ("Feature1B04SpecialKeys"); its operations log under it.
  ControlReportingFeature(unsigned id, int index, std::weak_ptr<IDevice> device, const char* className,
                          int getReportingFunction, int setReportingFunction);

  bool queryControlInfo(int index, ControlInfo* info);
  // Logs another application's response; the reporting it set when it answers the setting
  // function, logged as the diversion the member reports.
  std::optional<PendingReportingChange> reportingChangedElsewhere(unsigned function, unsigned swid,
                                                                  const Bytes& payload);

 private:
  std::string operation(const char* name) const;
  PendingChanges<PendingReportingChange>::Write writeNow();

  const std::string className_;
  const int getReportingFunction_;
  const int setReportingFunction_;
  PendingChanges<PendingReportingChange> pending_;
};

}  // namespace devio
