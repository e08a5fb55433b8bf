#pragma once

#include <memory>
#include <vector>

#include "devio/features/IFeature4521DisableKeys.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/PendingChanges.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature4521DisableKeys : public Feature,
                               public IFeature4521DisableKeys,
                               public Producer<IFeature4521DisableKeys::SettingChange> {
 public:
  static constexpr unsigned Id = 0x4521;

  Feature4521DisableKeys(int index, std::weak_ptr<IDevice> device);

  bool GetCapabilities(int* keys) override;
  bool SetDisabledKeys(int value) override;
  bool GetDisabledKeys(int* keys) override;

  bool process_pending_changes(bool device_configured) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;

  // The immediate form of SetDisabledKeys.
  bool SetDisabledKeysNow(int value);
  const std::vector<int>& pendingChanges() const { return pending_.entries(); }

 private:
  PendingChanges<int>::Write writeNow();

  PendingChanges<int> pending_;
};

}  // namespace devio
