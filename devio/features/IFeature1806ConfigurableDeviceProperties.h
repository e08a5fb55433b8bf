#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// Configurable device properties (0x1806): stored properties read and written through a selected offset.
// Function 0: [property] -> [size high, low, flags]; function 1: [property, offset high, low].
class IFeature1806ConfigurableDeviceProperties {
 public:
  virtual ~IFeature1806ConfigurableDeviceProperties() = default;
  virtual bool GetPropertyInfo(int property, int* size, int* flags) = 0;
  virtual bool SelectProperty(int property, int offset) = 0;
  // The data from the selected offset on.
  virtual bool ReadProperty(Bytes* data) = 0;
  // Writes data at the selected offset.
  virtual bool WriteProperty(const Bytes& data) = 0;
};

// Defined with Feature1806ConfigurableDeviceProperties; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1806 {
 public:
  IFeatureForceInclusion1806();
};
[[maybe_unused]] static const IFeatureForceInclusion1806 forceInclusion1806;

}  // namespace devio
