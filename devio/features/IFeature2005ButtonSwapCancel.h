#pragma once

namespace devio {

// Button swap cancel (0x2005): undoes the operating system's swap of the primary and secondary buttons.
// Functions 0 and 1 carry [swap cancelled].
class IFeature2005ButtonSwapCancel {
 public:
  // Another application changed the setting.
  class SettingChange {
   public:
    virtual void onSettingChange(unsigned /*swid*/, bool /*cancelled*/) {}
    virtual ~SettingChange() = default;
  };

  virtual ~IFeature2005ButtonSwapCancel() = default;
  virtual bool GetSwapMode(bool* cancelled) = 0;
  // Kept and replayed on the next connect while the device is away.
  virtual bool SetSwapMode(bool value) = 0;
};

// Defined with Feature2005ButtonSwapCancel; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2005 {
 public:
  IFeatureForceInclusion2005();
};
[[maybe_unused]] static const IFeatureForceInclusion2005 forceInclusion2005;

}  // namespace devio
