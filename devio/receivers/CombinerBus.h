#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/receivers/CombinerDevice.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

// A filter bus over a bus that presents one physical device as several channels (one per HID
// collection): channels with the same physical_id() become one CombinerDevice, announced once
// all its report kinds are present; channels that carry every report kind of their device pass
// through unchanged.
//
// Threads: inner-bus events arrive directly on the inner bus's thread (the HID bus's window
// thread) while devices() runs on the manager's; the combined map has its own mutex, and events
// are produced after it is released.
class CombinerBus final : public IHardwareBus,
                          public Producer<IHardwareBus::PlugUnplug>,
                          public Subscriber<IHardwareBus::PlugUnplug>,
                          public std::enable_shared_from_this<CombinerBus> {
 public:
  static std::shared_ptr<CombinerBus> create(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager);

  // IHardwareBus
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override;
  std::vector<std::shared_ptr<IBluetoothBus>> bluetooth_buses() override { return inner_->bluetooth_buses(); }
  std::vector<std::shared_ptr<IHardwareSecondaryBus>> secondary_buses() override { return inner_->secondary_buses(); }

 private:
  CombinerBus(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager);

  // Inner-bus events (its thread).
  void onPlug(std::shared_ptr<IHardwareDevice> piece) override;
  void onUnplug(std::shared_ptr<IHardwareDevice> piece) override;
  void onPowerChange(bool standBy) override;

  void producePlug(const std::shared_ptr<IHardwareDevice>& device, const char* log);
  void produceUnplug(const std::shared_ptr<IHardwareDevice>& device, const char* log);

  const std::shared_ptr<IHardwareBus> inner_;
  const std::weak_ptr<IDeviceManager> manager_;
  std::mutex subscribeMutex_;  // guards the Subscriber base
  std::atomic<bool> subscribed_{false};
  std::mutex mutex_;  // guards combined_
  std::map<std::string, std::shared_ptr<CombinerDevice>> combined_;  // by physical id
};

}  // namespace devio
