#pragma once

namespace devio {

// Latency monitoring (0x8111): the device reports the latency of button presses, [button, latency µs high, low].
class IFeature8111LatencyMonitoring {
 public:
  struct LatencyEventInfo {
    unsigned button = 0;
    unsigned latency = 0;  // microseconds
  };

  class Report {
   public:
    virtual void onLatencyEvent(const LatencyEventInfo& /*info*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8111LatencyMonitoring() = default;
};

// Defined with Feature8111LatencyMonitoring; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8111 {
 public:
  IFeatureForceInclusion8111();
};
[[maybe_unused]] static const IFeatureForceInclusion8111 forceInclusion8111;

}  // namespace devio
