#pragma once

#include <memory>
#include <vector>

#include "devio/features/IFeature2005ButtonSwapCancel.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/PendingChanges.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature2005ButtonSwapCancel : public Feature,
                                    public IFeature2005ButtonSwapCancel,
                                    public Producer<IFeature2005ButtonSwapCancel::SettingChange> {
 public:
  static constexpr unsigned Id = 0x2005;

  Feature2005ButtonSwapCancel(int index, std::weak_ptr<IDevice> device);

  bool GetSwapMode(bool* cancelled) override;
  bool SetSwapMode(bool value) override;

  bool process_pending_changes(bool device_configured) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;

  // The immediate form of SetSwapMode.
  bool SetSwapModeNow(bool value);
  const std::vector<bool>& pendingChanges() const { return pending_.entries(); }

 private:
  PendingChanges<bool>::Write writeNow();

  PendingChanges<bool> pending_;
};

}  // namespace devio
