#pragma once

namespace devio {

// Multi platform (0x4531): the platform each host uses. Function 1: [index] -> [index, platform, OS mask high, low];
// functions 2, 3 and the event: [host, platform, source].
class IFeature4531MultiPlatform {
 public:
  class Report {
   public:
    virtual void onPlatformChangeEvent(short /*host*/, short /*platform*/, short /*source*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature4531MultiPlatform() = default;
  virtual bool GetFeatureInfos(int* flags, int* platforms, int* descriptors) = 0;
  virtual bool GetPlatformDescriptor(int index, int* platform, int* osMask) = 0;
  virtual bool GetHostPlatform(int host, int* platform, int* source) = 0;
  virtual bool setHostPlatform(int host, int platform) = 0;
};

// Defined with Feature4531MultiPlatform; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4531 {
 public:
  IFeatureForceInclusion4531();
};
[[maybe_unused]] static const IFeatureForceInclusion4531 forceInclusion4531;

}  // namespace devio
