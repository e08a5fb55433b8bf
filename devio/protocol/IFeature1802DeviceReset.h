#pragma once

namespace devio {

// Device reset (0x1802): asks the device to restart.
class IFeature1802DeviceReset {
 public:
  virtual ~IFeature1802DeviceReset() = default;
  // The outcome is left in LastError only.
  virtual void forceDeviceReset() = 0;
};

// Defined with Feature1802DeviceReset; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1802 {
 public:
  IFeatureForceInclusion1802();
};
[[maybe_unused]] static const IFeatureForceInclusion1802 forceInclusion1802;

}  // namespace devio
