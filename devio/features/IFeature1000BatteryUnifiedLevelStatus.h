#pragma once

namespace devio {

// Battery level and status (0x1000). Function 0 and its event: [level %, next level %, status].
class IFeature1000BatteryUnifiedLevelStatus {
 public:
  class Report {
   public:
    virtual void onBatteryLevelStatus(short /*level*/, short /*nextLevel*/, short /*status*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1000BatteryUnifiedLevelStatus() = default;
  // status: 0 discharging, 1 recharging, 2 almost full, 3 full, 4 slow charge, 5 invalid battery, 6 thermal error
  virtual bool GetBatteryLevelStatus(int* level, int* nextLevel, int* status) = 0;
  // [number of levels, flags]
  virtual bool GetBatteryCapability(int* levels, int* flags) = 0;
};

// Defined with Feature1000BatteryUnifiedLeveStatus; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1000 {
 public:
  IFeatureForceInclusion1000();
};
[[maybe_unused]] static const IFeatureForceInclusion1000 forceInclusion1000;

}  // namespace devio
