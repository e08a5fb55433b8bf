#pragma once

namespace devio {

// Pointer motion scaling (0x2205): [scaling high, low] both ways.
class IFeature2205PointerMotionScaling {
 public:
  virtual ~IFeature2205PointerMotionScaling() = default;
  virtual bool GetPointerScalingValue(int* value) = 0;
  virtual bool SetPointerScalingValue(int value) = 0;
};

// Defined with Feature2205PointerMotionScaling; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2205 {
 public:
  IFeatureForceInclusion2205();
};
[[maybe_unused]] static const IFeatureForceInclusion2205 forceInclusion2205;

}  // namespace devio
