#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// G-keys (0x8010): macro keys reported to software. Button event: one bit per key, from byte 0 bit 0.
class IFeature8010Gkey {
 public:
  class Report {
   public:
    virtual void onButtonReport(const std::vector<Byte>& /*buttons*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8010Gkey() = default;
  virtual bool GetCount(int* count) = 0;
  virtual bool GetPhysicalLayout(int* layout) = 0;
  virtual bool EnableSoftwareControl(bool enable) = 0;
};

// Defined with Feature8010Gkey; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8010 {
 public:
  IFeatureForceInclusion8010();
};
[[maybe_unused]] static const IFeatureForceInclusion8010 forceInclusion8010;

}  // namespace devio
