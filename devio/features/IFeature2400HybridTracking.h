#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

namespace HybridReporting {
struct SpeedInfo {
  unsigned speed = 0;
  unsigned mode = 0;
};
}  // namespace HybridReporting

// Hybrid tracking (0x2400): a second tracking engine. [value] both ways; state event [speed high, low, mode high, low].
class IFeature2400HybridTracking {
 public:
  class Report {
   public:
    virtual void onHybridRawData(const std::vector<Byte>& /*data*/) {}
    virtual void onHybridStateChange(const HybridReporting::SpeedInfo& /*info*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature2400HybridTracking() = default;
  virtual bool IsHybridEngineEnabled(bool* enabled) = 0;
  virtual bool EnableHybridEngine(bool enabled) = 0;
  virtual bool GetHybridReportingMode(int* mode) = 0;
  virtual bool SetHybridReportingMode(int mode) = 0;
};

// Defined with Feature2400HybridTracking; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2400 {
 public:
  IFeatureForceInclusion2400();
};
[[maybe_unused]] static const IFeatureForceInclusion2400 forceInclusion2400;

}  // namespace devio
