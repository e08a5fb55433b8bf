#pragma once

namespace devio {

// High-resolution wheel (0x2121). A wheel mode byte: bit 0 reports to software, bit 1 high resolution,
// bit 2 inverted. Function 0: -> [multiplier, flags: bit 2 has a ratchet switch, bit 3 can invert];
// functions 1 and 2: [mode]; function 3 and the switch event: [ratchet]. Movement event:
// [bit 4 high resolution | periods, dy high, low, dx high, low].
class IFeature2121HiResWheel {
 public:
  class Report {
   public:
    virtual void onWheelMovement(bool /*hiRes*/, unsigned /*periods*/, int /*dy*/, int /*dx*/) {}
    virtual ~Report() = default;
  };

  // Another application changed the wheel mode; multiplier and flags are 0, the answer holds none.
  class SettingChange {
   public:
    virtual void onSettingChange(unsigned /*swid*/, bool /*target*/, bool /*hiRes*/, bool /*inverted*/,
                                 unsigned /*multiplier*/, unsigned /*flags*/) {}
    virtual ~SettingChange() = default;
  };

  class RatchetSwitch {
   public:
    virtual void onRatchetSwitch(bool /*ratchet*/) {}
    virtual ~RatchetSwitch() = default;
  };

  virtual ~IFeature2121HiResWheel() = default;
  virtual bool GetWheelCapability(int* multiplier, bool* hasSwitch, bool* canInvert) = 0;
  virtual bool GetWheelMode(bool* target, bool* hiRes) = 0;
  virtual bool GetWheelMode(bool* target, bool* hiRes, bool* inverted) = 0;
  virtual bool SetWheelMode(bool target, bool hiRes) = 0;
  virtual bool SetWheelMode(bool target, bool hiRes, bool inverted) = 0;
  virtual bool GetRatchetSwitchState(bool* ratchet) = 0;
};

// Defined with Feature2121HiResWheel; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2121 {
 public:
  IFeatureForceInclusion2121();
};
[[maybe_unused]] static const IFeatureForceInclusion2121 forceInclusion2121;

}  // namespace devio
