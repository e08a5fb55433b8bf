#pragma once

#include <memory>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature1802DeviceReset.h"

namespace devio {

class Feature1802DeviceReset : public Feature, public IFeature1802DeviceReset {
 public:
  static constexpr unsigned Id = 0x1802;

  Feature1802DeviceReset(int index, std::weak_ptr<IDevice> device);

  void forceDeviceReset() override;
};

}  // namespace devio
