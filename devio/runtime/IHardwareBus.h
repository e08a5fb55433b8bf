#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devio/runtime/IHardwareDevice.h"

namespace devio {

class IBluetoothBus;
class IHardwareSecondaryBus;

// A source of hardware devices that announces their arrival and removal. Implementations derive
// Producer<PlugUnplug>. A bus holds its announced devices strongly; they refer to it weakly.
class IHardwareBus {
 public:
  class PlugUnplug {
   public:
    virtual void onPlug(std::shared_ptr<IHardwareDevice>) {}
    virtual void onUnplug(std::shared_ptr<IHardwareDevice>) {}
    // false: the host resumed from standby.
    virtual void onPowerChange(bool /*standBy*/) {}
    virtual ~PlugUnplug() = default;
  };

  virtual ~IHardwareBus() = default;
  // Current devices, enumerated on demand. Empty with LastError Success: no devices; empty with
  // another code: the enumeration failed.
  virtual std::vector<std::shared_ptr<IHardwareDevice>> devices() = 0;
  virtual bool reserved_query() { return false; }
  virtual std::vector<std::shared_ptr<IBluetoothBus>> bluetooth_buses() { return {}; }
  virtual void persistent_data_directory(std::string /*dir*/) {}
  virtual bool wants_combiner() { return false; }
  virtual std::vector<std::shared_ptr<IHardwareSecondaryBus>> secondary_buses() { return {}; }
  // Re-examine the devices and announce changes.
  virtual void refresh() {}
};

// A bus the primary bus drives with the host's device-change messages.
class IHardwareSecondaryBus : public IHardwareBus {
 public:
  virtual void process_wm_devicechange(std::uint32_t /*event*/, void* /*broadcast_header*/) {}
};

}  // namespace devio
