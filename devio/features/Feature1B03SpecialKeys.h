#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/PendingChanges.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1B03SpecialKeys : public Feature,
                               public IFeature1B03SpecialKeys,
                               public Producer<IFeature1B03SpecialKeys::KeyReport> {
 public:
  static constexpr unsigned Id = 0x1B03;

  Feature1B03SpecialKeys(int index, std::weak_ptr<IDevice> device);

  bool GetControlCount(int* count) override;
  bool GetControlInfo(int index, ControlInfo* info) override;
  bool GetControlReporting(int control, Byte* flags, int* remap) override;
  bool SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) override;

  bool process_pending_changes(bool device_configured) override;
  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;

  // The immediate form of SetCtrlIdReporting.
  bool SetCtrlIdReportingNow(int control, Byte reporting, std::uint16_t remap);
  const std::vector<PendingReportingChange>& pendingChanges() const { return pending_.entries(); }

 private:
  PendingChanges<PendingReportingChange>::Write writeNow();

  PendingChanges<PendingReportingChange> pending_;
};

}  // namespace devio
