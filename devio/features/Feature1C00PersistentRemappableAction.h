#pragma once

#include <memory>

#include "devio/features/IFeature1C00PersistentRemappableAction.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1C00PersistentRemappableAction : public Feature, public IFeature1C00PersistentRemappableAction {
 public:
  static constexpr unsigned Id = 0x1C00;

  Feature1C00PersistentRemappableAction(int index, std::weak_ptr<IDevice> device);

  bool GetCapabilities(int* count, int* flags) override;
  bool GetActionInfo(int index, int* control, int* flags) override;
  bool GetAction(int control, Bytes* action) override;
  bool SetAction(int control, const Bytes& action) override;
  bool ResetAction(int control) override;
  bool ResetAllActions() override;
  bool GetActionSource(int control, int* source) override;
};

}  // namespace devio
