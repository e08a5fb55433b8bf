#pragma once

#include <memory>

#include "devio/features/IFeature1806ConfigurableDeviceProperties.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1806ConfigurableDeviceProperties : public Feature, public IFeature1806ConfigurableDeviceProperties {
 public:
  static constexpr unsigned Id = 0x1806;

  Feature1806ConfigurableDeviceProperties(int index, std::weak_ptr<IDevice> device);

  bool GetPropertyInfo(int property, int* size, int* flags) override;
  bool SelectProperty(int property, int offset) override;
  bool ReadProperty(Bytes* data) override;
  bool WriteProperty(const Bytes& data) override;
};

}  // namespace devio
