#pragma once

#include <memory>

#include "devio/features/IFeature1F20ADCMeasurement.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1F20ADCMeasurement : public Feature,
                                  public IFeature1F20ADCMeasurement,
                                  public Producer<IFeature1F20ADCMeasurement::Report> {
 public:
  static constexpr unsigned Id = 0x1F20;

  Feature1F20ADCMeasurement(int index, std::weak_ptr<IDevice> device);

  bool GetMeasurement(DeviceState* state) override;
  bool StartMeasurement(int channel) override;
  bool StopMeasurement() override;
  bool GetMeasurementConfig(int* channel, int* period) override;
  bool SetMeasurementConfig(int channel, int period) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
