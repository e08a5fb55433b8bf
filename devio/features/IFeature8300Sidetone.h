#pragma once

namespace devio {

// Sidetone (0x8300): how much of the microphone a headset plays back, [level 0-100] both ways.
class IFeature8300Sidetone {
 public:
  virtual ~IFeature8300Sidetone() = default;
  virtual bool getSidetoneLevel(int* level) = 0;
  virtual bool setSidetoneLevel(int level) = 0;
};

// Defined with Feature8300Sidetone; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8300 {
 public:
  IFeatureForceInclusion8300();
};
[[maybe_unused]] static const IFeatureForceInclusion8300 forceInclusion8300;

}  // namespace devio
