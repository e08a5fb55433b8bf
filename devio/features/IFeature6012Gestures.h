#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Gestures, second generation (0x6012): one gesture at a time, [gesture] -> [gesture, enabled]; function 1: [gesture,
// enabled].
class IFeature6012Gestures {
 public:
  // Declared for clients; the device sends no gesture events of this generation.
  class Report {
   public:
    virtual void onGestureReport(const std::vector<Byte>& /*payload*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature6012Gestures() = default;
  virtual bool IsGestureEnabled(int gesture, bool* enabled) = 0;
  virtual bool EnableGesture(int gesture, bool enabled) = 0;
};

// Defined with Feature6012Gestures; see IFeatureForceInclusion0000.
class IFeatureForceInclusion6012 {
 public:
  IFeatureForceInclusion6012();
};
[[maybe_unused]] static const IFeatureForceInclusion6012 forceInclusion6012;

}  // namespace devio
