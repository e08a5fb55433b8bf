#pragma once

#include <memory>

#include "devio/features/IFeature4522DKU.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature4522DisableKeysByUsage : public Feature, public IFeature4522DKU {
 public:
  static constexpr unsigned Id = 0x4522;

  Feature4522DisableKeysByUsage(int index, std::weak_ptr<IDevice> device);

  bool GetCapabilities(int* maxKeys) override;
  bool DisableKeys(const std::vector<int>& usages) override;
  bool EnableKeys(const std::vector<int>& usages) override;
  bool EnableAllKeys() override;
};

}  // namespace devio
