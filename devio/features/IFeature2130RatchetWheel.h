#pragma once

namespace devio {

// Ratchet wheel (0x2130): [mode] both ways (0 free spin, 1 ratchet); movement event [dy high, low, dx high, low].
class IFeature2130RatchetWheel {
 public:
  class Report {
   public:
    virtual void onWheelMovement(int /*dy*/, int /*dx*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature2130RatchetWheel() = default;
  virtual bool GetWheelMode(int* mode) = 0;
  virtual bool SetWheelMode(int mode) = 0;
};

// Defined with Feature2130RatchetWheel; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2130 {
 public:
  IFeatureForceInclusion2130();
};
[[maybe_unused]] static const IFeatureForceInclusion2130 forceInclusion2130;

}  // namespace devio
