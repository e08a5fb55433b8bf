#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devio/runtime/IBluetoothDevice.h"

namespace devio {

// The Bluetooth classic bus as the rest of the library sees it: it tells which interface paths
// belong to paired Bluetooth devices and reports radios coming and going (by their interface
// paths). Implementations derive Producer<RadioArrivalRemovalExternal>.
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
  // The paired device whose HID interface has this path; empty for a path of no Bluetooth
  // device. Never starts the bus.
  virtual std::shared_ptr<IBluetoothDevice> device_paired_on_path(std::string path) = 0;
  virtual void process_wm_devicechange(std::uint32_t /*event*/, void* /*broadcast_header*/) {}
};

}  // namespace devio
