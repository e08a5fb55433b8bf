#pragma once

namespace devio {

// Configuration change (0x0020): the 16-bit configuration cookie a configuring host writes
// into the device; 0 means that no host holds the device's configuration.
class IFeature0020ConfigChange {
 public:
  class ConfigReport {
   public:
    // Another program (software id swid) wrote cookie into the device.
    virtual void onCookieSet(unsigned /*swid*/, unsigned short /*cookie*/) {}
    virtual ~ConfigReport() = default;
  };

  virtual ~IFeature0020ConfigChange() = default;
  // Always read from the device itself, never from the response cache.
  virtual bool GetCookie(unsigned short* cookie) = 0;
  // Sends the low 16 bits of cookie.
  virtual bool SetCookie(int cookie) = 0;
};

// Defined with Feature0020ConfigChange; see IFeatureForceInclusion0000.
class IFeatureForceInclusion0020 {
 public:
  IFeatureForceInclusion0020();
};
[[maybe_unused]] static const IFeatureForceInclusion0020 forceInclusion0020;

}  // namespace devio
