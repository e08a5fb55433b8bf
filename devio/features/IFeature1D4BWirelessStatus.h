#pragma once

namespace devio {

// Wireless status (0x1D4B): the device tells that it reconnected and whether it needs its
// configuration again. The device object subscribes to the event.
class IFeature1D4BWirelessStatus {
 public:
  class Report {
   public:
    virtual void onWirelessStatusEvent(bool /*reconnect*/, bool /*config_needed*/, bool /*powerswitch*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1D4BWirelessStatus() = default;
};

}  // namespace devio
