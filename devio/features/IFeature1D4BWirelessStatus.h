#pragma once

namespace devio {

// Wireless status (0x1D4B): the device tells that it reconnected and whether it needs its
// configuration again. The device object subscribes to the event. Event: [reconnect, config needed, power switch].
class IFeature1D4BWirelessStatus {
 public:
  class Report {
   public:
    virtual void onWirelessStatusEvent(bool /*reconnect*/, bool /*config_needed*/, bool /*powerswitch*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1D4BWirelessStatus() = default;
};

// Defined with Feature1D4BWirelessStatus; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1D4B {
 public:
  IFeatureForceInclusion1D4B();
};
[[maybe_unused]] static const IFeatureForceInclusion1D4B forceInclusion1D4B;

}  // namespace devio
