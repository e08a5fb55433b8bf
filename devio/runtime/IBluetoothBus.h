#pragma once

#include <string>

namespace devio {

// The Bluetooth classic bus as the rest of the library sees it: it tells which interface paths
// belong to paired Bluetooth devices and reports radios coming and going.
class IBluetoothBus {
 public:
  class RadioArrivalRemovalInternal {
   public:
    virtual void onRadioArrival(std::string) {}
    virtual void onRadioRemoval(std::string) {}
    virtual ~RadioArrivalRemovalInternal() = default;
  };
  class RadioArrivalRemovalExternal {
   public:
    virtual void onRadioArrival(std::string) {}
    virtual void onRadioRemoval(std::string) {}
    virtual ~RadioArrivalRemovalExternal() = default;
  };

  virtual ~IBluetoothBus() = default;
};

}  // namespace devio
