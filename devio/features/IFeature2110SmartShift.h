#pragma once

namespace devio {

// SmartShift (0x2110): the wheel switches from ratchet to free spin above a speed.
// Functions 0 and 1: [mode, automatic disengage speed, default disengage speed].
class IFeature2110SmartShift {
 public:
  virtual ~IFeature2110SmartShift() = default;
  virtual bool GetRatchetControlMode(int* mode, int* autoDisengage, int* defaultAutoDisengage) = 0;
  virtual bool SetRatchetControlMode(int mode, int autoDisengage, int defaultAutoDisengage) = 0;
};

// Defined with Feature2110SmartShift; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2110 {
 public:
  IFeatureForceInclusion2110();
};
[[maybe_unused]] static const IFeatureForceInclusion2110 forceInclusion2110;

}  // namespace devio
