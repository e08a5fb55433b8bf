#pragma once

namespace devio {

// Angle snapping (0x2230): [enabled] both ways.
class IFeature2230AngleSnapping {
 public:
  virtual ~IFeature2230AngleSnapping() = default;
  virtual bool GetAngleSnapping(bool* enabled) = 0;
  virtual bool SetAngleSnapping(bool enabled) = 0;
};

// Defined with Feature2230AngleSnapping; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2230 {
 public:
  IFeatureForceInclusion2230();
};
[[maybe_unused]] static const IFeatureForceInclusion2230 forceInclusion2230;

}  // namespace devio
