#pragma once

#include <memory>
#include <vector>

#include "devio/features/IFeature40A2FnInversion.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/PendingChanges.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature40A2FnInversion : public Feature,
                               public IFeature40A2FnInversion,
                               public Producer<IFeature40A2FnInversion::SettingChange> {
 public:
  static constexpr unsigned Id = 0x40A2;

  Feature40A2FnInversion(int index, std::weak_ptr<IDevice> device);

  bool GetGlobalFnInversion(bool* inverted, bool* defaultInverted) override;
  bool SetGlobalFnInversion(bool value) override;

  bool process_pending_changes(bool device_configured) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;

  // The immediate form of SetGlobalFnInversion.
  bool SetGlobalFnInversionNow(bool value);
  const std::vector<bool>& pendingChanges() const { return pending_.entries(); }

 private:
  PendingChanges<bool>::Write writeNow();

  PendingChanges<bool> pending_;
};

}  // namespace devio
