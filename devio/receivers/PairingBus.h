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

 private:
  PairingBus(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager);

  // Inner-bus events.
  void onPlug(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onUnplug(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onPowerChange(bool standBy) override;
  // Radio events.
  void onRadioArrival(std::string radio) override;
  void onRadioRemoval(std::string radio) override;

  bool subscribe();
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
  std::mutex subscribeMutex_;  // guards the Subscriber bases
  std::atomic<bool> subscribed_{false};
  std::mutex mutex_;  // guards tracked_ and dataDir_
  std::map<std::string, std::shared_ptr<PairingDevice>> tracked_;  // by path
  std::string dataDir_;
  std::mutex writeMutex_;  // one writer of the cache file at a time
};

}  // namespace devio
