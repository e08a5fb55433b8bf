#pragma once

namespace devio {

// Fn inversion with Fn lock (0x40A3). Function 0: -> [inverted, inverted by default, Fn lock];
// function 1: [inverted] (as 0x40A2); the event: [host, inverted, Fn lock, source].
class IFeature40A3FnInversion {
 public:
  class Report {
   public:
    virtual void onFLockChange(short /*host*/, bool /*inverted*/, bool /*locked*/, int /*source*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature40A3FnInversion() = default;
  virtual bool GetGlobalFnInversion(bool* inverted, bool* defaultInverted, bool* locked) = 0;
  virtual bool SetGlobalFnInversion(bool inverted) = 0;
};

// Defined with Feature40A3FnInversion; see IFeatureForceInclusion0000.
class IFeatureForceInclusion40A3 {
 public:
  IFeatureForceInclusion40A3();
};
[[maybe_unused]] static const IFeatureForceInclusion40A3 forceInclusion40A3;

}  // namespace devio
