#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Gestures, first generation (0x6010): a mask of enabled gestures, [mask high, low] both ways.
class IFeature6010Gestures {
 public:
  // Declared for clients; the device sends no gesture events of this generation.
  class Report {
   public:
    virtual void onGestureReport(const std::vector<Byte>& /*payload*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature6010Gestures() = default;
  virtual bool GetEnabledGestures(int* mask) = 0;
  virtual bool SetEnabledGestures(int mask) = 0;
};

// Defined with Feature6010Gestures; see IFeatureForceInclusion0000.
class IFeatureForceInclusion6010 {
 public:
  IFeatureForceInclusion6010();
};
[[maybe_unused]] static const IFeatureForceInclusion6010 forceInclusion6010;

}  // namespace devio
