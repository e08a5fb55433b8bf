#pragma once

namespace devio {

// Dual platform (0x4530): which of two operating systems the keyboard is laid out for. [platform] everywhere.
class IFeature4530DualPlatform {
 public:
  class Report {
   public:
    virtual void onPlatformChangeEvent(short /*platform*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature4530DualPlatform() = default;
  virtual bool GetPlatform(int* platform) = 0;
  virtual bool SetPlatform(int platform) = 0;
};

// Defined with Feature4530DualPlatform; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4530 {
 public:
  IFeatureForceInclusion4530();
};
[[maybe_unused]] static const IFeatureForceInclusion4530 forceInclusion4530;

}  // namespace devio
