#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// Mouse button spy (0x8110): button presses reported to software, [buttons high, low], one bit per button.
class IFeature8110MouseButtonSpy {
 public:
  class Report {
   public:
    virtual void onButtonReport(unsigned short /*buttons*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8110MouseButtonSpy() = default;
  virtual bool GetButtonCount(int* count) = 0;
  virtual bool StartSpy() = 0;
  virtual bool StopSpy() = 0;
  virtual bool GetRemapping(Bytes* remapping) = 0;
  // One byte per button: the button it acts as.
  virtual bool SetRemapping(const Bytes& remapping) = 0;
};

// Defined with Feature8110MouseButtonSpy; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8110 {
 public:
  IFeatureForceInclusion8110();
};
[[maybe_unused]] static const IFeatureForceInclusion8110 forceInclusion8110;

}  // namespace devio
