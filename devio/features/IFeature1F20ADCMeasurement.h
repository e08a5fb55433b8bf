#pragma once

namespace devio {

// ADC measurement (0x1F20): raw analog readings (battery, sensors) of the device.
// Function 0 and the event: [value high, low, flags]; functions 3 and 4: [channel, period].
class IFeature1F20ADCMeasurement {
 public:
  struct DeviceState {
    unsigned value = 0;
    unsigned flags = 0;
  };

  class Report {
   public:
    virtual void onStatusChange(const DeviceState& /*state*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1F20ADCMeasurement() = default;
  virtual bool GetMeasurement(DeviceState* state) = 0;
  virtual bool StartMeasurement(int channel) = 0;
  virtual bool StopMeasurement() = 0;
  virtual bool GetMeasurementConfig(int* channel, int* period) = 0;
  virtual bool SetMeasurementConfig(int channel, int period) = 0;
};

// Defined with Feature1F20ADCMeasurement; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1F20 {
 public:
  IFeatureForceInclusion1F20();
};
[[maybe_unused]] static const IFeatureForceInclusion1F20 forceInclusion1F20;

}  // namespace devio
