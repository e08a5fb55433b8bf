#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/receivers/PairingDevice.h"
#include "devio/runtime/IBluetoothBus.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

// A filter bus over a bus whose devices may be paired Bluetooth devices: every channel becomes a
// PairingDevice, so a paired device keeps one identity while its interface comes and goes and
// is announced as gone only when it is unpaired or its radio leaves. The known pairings are
// kept in "paired.xml" in the persistent data directory.
//
// Monitors (while configuration item 2 is on): a Bluetooth LE device reached over HID may also
// have a GATT channel on one of the inner bus's secondary buses. The filter follows those
// channels without announcing them (the manager has the secondary buses as its own) and pairs
// each with an LE HID device of the same product id, monitors in arrival order, devices in path
// order; an attached monitor is asked too whether its device is still there after a time-out.
//
// Threads: inner-bus events arrive directly on the inner bus's thread, radio events on the
// Bluetooth bus's, devices() and the directory on the manager's. The tracked map has its own
// mutex; devices are asked and events produced after it is released.
class PairingBus final : public IHardwareBus,
                         public Producer<IHardwareBus::PlugUnplug>,
                         public Subscriber<IHardwareBus::PlugUnplug>,
                         public Subscriber<IBluetoothBus::RadioArrivalRemovalExternal>,
                         public std::enable_shared_from_this<PairingBus> {
 public:
  static std::shared_ptr<PairingBus> create(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager);
  ~PairingBus() override;

  // IHardwareBus
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override;
  void persistent_data_directory(std::string dir) override;
  void refresh() override;
  // The inner bus's secondary buses are the manager's own.
  std::vector<std::shared_ptr<IHardwareSecondaryBus>> secondary_buses() override { return inner_->secondary_buses(); }

  // From its devices: the pairing of device was removed (on the Bluetooth bus's thread).
  void process_unpair(const std::shared_ptr<PairingDevice>& device);
  // Writes the cache after a pairing changed.
  void write_data();

  // The monitor bookkeeping: an LE HID device was tracked, a GATT channel arrived or left, a
  // tracked device is gone. Each pairs the loose monitors with the devices that lack one.
  void detect_and_attach_monitor(const std::shared_ptr<PairingDevice>& device);
  void attach_loose_monitor(const std::shared_ptr<IHardwareDevice>& monitor);
  void detach_monitor(const std::shared_ptr<IHardwareDevice>& monitor);
  void destroy_monitor(const std::shared_ptr<PairingDevice>& device);

 private:
  PairingBus(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager);

  // Inner-bus events.
  void onPlug(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onUnplug(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onPowerChange(bool standBy) override;
  // Radio events.
  void onRadioArrival(std::string radio) override;
  void onRadioRemoval(std::string radio) override;

  // Arrivals and removals of the secondary buses' channels, the monitors.
  class MonitorWatch final : public Subscriber<IHardwareBus::PlugUnplug> {
   public:
    explicit MonitorWatch(PairingBus& bus) : bus_(bus) {}
    ~MonitorWatch() override { unsubscribe_all(); }
    void onPlug(std::shared_ptr<IHardwareDevice> monitor) override { bus_.attach_loose_monitor(monitor); }
    void onUnplug(std::shared_ptr<IHardwareDevice> monitor) override { bus_.detach_monitor(monitor); }

   private:
    PairingBus& bus_;
  };
  struct Monitor {
    std::shared_ptr<IHardwareDevice> channel;
    std::weak_ptr<PairingDevice> device;  // expired while loose
  };

  bool subscribe();
  void watchMonitors();
  // Under mutex_.
  void pairMonitors();
  // The tracked device of the channel's path, made when the path is new; a known one gets the
  // channel. visibleBefore tells whether it was visible before.
  std::shared_ptr<PairingDevice> track(const std::shared_ptr<IHardwareDevice>& hwdev, bool& visibleBefore);
  // Stops tracking device (if it still is) and announces it gone.
  void forget(const std::shared_ptr<PairingDevice>& device, const char* log);
  std::vector<std::shared_ptr<PairingDevice>> trackedBluetooth();
  void produce(bool plug, const std::shared_ptr<IHardwareDevice>& device, const char* log);

  const std::shared_ptr<IHardwareBus> inner_;
  const std::shared_ptr<IBluetoothBus> bluetooth_;  // the first of the inner bus's
  const std::weak_ptr<IDeviceManager> manager_;
  bool bleMonitor_ = true;  // the item's default, also without a manager
  std::mutex subscribeMutex_;  // guards the Subscriber bases and monitorWatch_'s
  std::atomic<bool> subscribed_{false};
  MonitorWatch monitorWatch_{*this};
  std::mutex mutex_;  // guards tracked_, monitors_ and dataDir_
  std::map<std::string, std::shared_ptr<PairingDevice>> tracked_;  // by path
  std::vector<Monitor> monitors_;  // in arrival order
  std::string dataDir_;
  std::mutex writeMutex_;  // one writer of the cache file at a time
};

}  // namespace devio
