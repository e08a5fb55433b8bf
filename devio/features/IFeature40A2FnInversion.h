#pragma once

namespace devio {

// Fn inversion (0x40A2): whether the top row sends its function keys without Fn.
// Function 0: -> [inverted, inverted by default]; function 1: [inverted] (as 0x40A3).
class IFeature40A2FnInversion {
 public:
  // Another application changed the setting.
  class SettingChange {
   public:
    virtual void onSettingChange(unsigned /*swid*/, bool /*inverted*/) {}
    virtual ~SettingChange() = default;
  };

  virtual ~IFeature40A2FnInversion() = default;
  virtual bool GetGlobalFnInversion(bool* inverted, bool* defaultInverted) = 0;
  // Kept and replayed on the next connect while the device is away.
  virtual bool SetGlobalFnInversion(bool value) = 0;
};

// Defined with Feature40A2FnInversion; see IFeatureForceInclusion0000.
class IFeatureForceInclusion40A2 {
 public:
  IFeatureForceInclusion40A2();
};
[[maybe_unused]] static const IFeatureForceInclusion40A2 forceInclusion40A2;

}  // namespace devio
