#pragma once

namespace devio {

// Battery voltage (0x1001). Function 0 and its event: [voltage mV high, low, flags].
class IFeature1001BatteryVoltage {
 public:
  struct BatteryInfo {
    unsigned voltage = 0;  // millivolts
    unsigned flags = 0;    // bit 7 charging, bits 0-2 charge level
  };

  class Report {
   public:
    virtual void OnBatteryInfoChange(const BatteryInfo& /*info*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1001BatteryVoltage() = default;
  virtual bool GetBatteryVoltage(BatteryInfo* info) = 0;
  // Lets the device show its battery level.
  virtual bool ShowBatteryStatus() = 0;
};

// Defined with Feature1001BatteryVoltage; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1001 {
 public:
  IFeatureForceInclusion1001();
};
[[maybe_unused]] static const IFeatureForceInclusion1001 forceInclusion1001;

}  // namespace devio
