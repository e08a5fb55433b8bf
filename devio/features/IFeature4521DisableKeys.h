#pragma once

namespace devio {

// Disable keys (0x4521): keys the user has switched off. A key mask: bit 0 Caps Lock, 1 Num Lock,
// 2 Scroll Lock, 3 Insert, 4 Windows. Function 0: -> [disableable keys]; 1: -> [disabled keys]; 2: [disabled keys].
class IFeature4521DisableKeys {
 public:
  // Another application changed the setting.
  class SettingChange {
   public:
    virtual void onSettingChange(unsigned /*swid*/, bool /*capsLock*/, bool /*numLock*/, bool /*scrollLock*/,
                                 bool /*insert*/, bool /*windows*/) {}
    virtual ~SettingChange() = default;
  };

  virtual ~IFeature4521DisableKeys() = default;
  virtual bool GetCapabilities(int* keys) = 0;
  // Kept and replayed on the next connect while the device is away.
  virtual bool SetDisabledKeys(int value) = 0;
  virtual bool GetDisabledKeys(int* keys) = 0;
};

// Defined with Feature4521DisableKeys; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4521 {
 public:
  IFeatureForceInclusion4521();
};
[[maybe_unused]] static const IFeatureForceInclusion4521 forceInclusion4521;

}  // namespace devio
