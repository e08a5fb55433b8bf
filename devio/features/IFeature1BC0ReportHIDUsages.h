#pragma once

namespace devio {

// Report HID usages (0x1BC0): the device reports key presses as HID usages instead of its usual reports.
// Function 1: [enabled]; function 2: -> [enabled]; the event: [usage page high, low, usage high, low, pressed].
class IFeature1BC0ReportHIDUsages {
 public:
  struct UsagePackage {
    unsigned page = 0;
    unsigned usage = 0;
    bool pressed = false;
  };

  class Report {
   public:
    virtual void OnUsageEvent(const UsagePackage& /*usage*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1BC0ReportHIDUsages() = default;
  virtual bool DisableReporting() = 0;
  virtual bool SetReporting(bool enabled) = 0;
  virtual bool GetReporting(bool* enabled) = 0;
};

// Defined with Feature1BC0ReportHIDUsages; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1BC0 {
 public:
  IFeatureForceInclusion1BC0();
};
[[maybe_unused]] static const IFeatureForceInclusion1BC0 forceInclusion1BC0;

}  // namespace devio
