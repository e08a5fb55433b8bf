#pragma once

#include <memory>

#include "devio/features/IFeature2201AdjustableDPI.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature2201AdjustableDPI : public Feature, public IFeature2201AdjustableDPI {
 public:
  static constexpr unsigned Id = 0x2201;

  Feature2201AdjustableDPI(int index, std::weak_ptr<IDevice> device);

  bool GetSensorCount(int* count) override;
  bool GetSensorDPIList(int sensor, std::vector<int>* dpis) override;
  bool GetSensorDPI(int sensor, int* dpi) override;
  bool GetDefaultDPI(int sensor, int* dpi) override;
  bool SetSensorDPI(int sensor, int dpi) override;
  bool IsSupportedDPI(int sensor, int dpi, bool* supported) override;
};

}  // namespace devio
