#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// M-keys (0x8020): the profile keys and their lights. Button event and function 1: [one bit per key].
class IFeature8020Mkeys {
 public:
  class Report {
   public:
    virtual void onButtonReport(const Byte& /*buttons*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8020Mkeys() = default;
  virtual bool GetCount(int* count) = 0;
  virtual bool SetLEDs(int mask) = 0;
};

// Defined with Feature8020Mkeys; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8020 {
 public:
  IFeatureForceInclusion8020();
};
[[maybe_unused]] static const IFeatureForceInclusion8020 forceInclusion8020;

}  // namespace devio
