#pragma once

#include <vector>

namespace devio {

// Adjustable DPI (0x2201). Function 1: [sensor] -> [sensor, DPI high, low, ...] ending with 0;
// function 2: [sensor] -> [sensor, DPI high, low, default DPI high, low]; function 3: [sensor, DPI high, low].
class IFeature2201AdjustableDPI {
 public:
  virtual ~IFeature2201AdjustableDPI() = default;
  virtual bool GetSensorCount(int* count) = 0;
  virtual bool GetSensorDPIList(int sensor, std::vector<int>* dpis) = 0;
  virtual bool GetSensorDPI(int sensor, int* dpi) = 0;
  virtual bool GetDefaultDPI(int sensor, int* dpi) = 0;
  virtual bool SetSensorDPI(int sensor, int dpi) = 0;
  // Whether dpi is in the sensor's list.
  virtual bool IsSupportedDPI(int sensor, int dpi, bool* supported) = 0;
};

// Defined with Feature2201AdjustableDPI; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2201 {
 public:
  IFeatureForceInclusion2201();
};
[[maybe_unused]] static const IFeatureForceInclusion2201 forceInclusion2201;

}  // namespace devio
