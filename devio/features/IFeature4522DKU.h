#pragma once

#include <vector>

namespace devio {

// Disable keys by usage (0x4522): keys switched off by their HID usage, one byte each.
class IFeature4522DKU {
 public:
  virtual ~IFeature4522DKU() = default;
  virtual bool GetCapabilities(int* maxKeys) = 0;
  virtual bool DisableKeys(const std::vector<int>& usages) = 0;
  virtual bool EnableKeys(const std::vector<int>& usages) = 0;
  virtual bool EnableAllKeys() = 0;
};

// Defined with Feature4522DisableKeysByUsage; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4522 {
 public:
  IFeatureForceInclusion4522();
};
[[maybe_unused]] static const IFeatureForceInclusion4522 forceInclusion4522;

}  // namespace devio
