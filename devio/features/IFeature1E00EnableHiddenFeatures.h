#pragma once

namespace devio {

// Enable hidden features (0x1E00): makes the software-hidden features usable. [enabled] both ways.
class IFeature1E00EnableHiddenFeatures {
 public:
  virtual ~IFeature1E00EnableHiddenFeatures() = default;
  virtual bool GetEnableHiddenFeatures(bool* enabled) = 0;
  virtual bool SetEnableHiddenFeatures(bool enabled) = 0;
};

// Defined with Feature1E00EnableHiddenFeatures; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1E00 {
 public:
  IFeatureForceInclusion1E00();
};
[[maybe_unused]] static const IFeatureForceInclusion1E00 forceInclusion1E00;

}  // namespace devio
