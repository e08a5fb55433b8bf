#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "devio/receivers/PairingCacheFile.h"
#include "devio/runtime/IBluetoothDevice.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

class PairingBus;

// One device of the pairing filter: a corded channel passed through, or a paired Bluetooth
// device that keeps its identity while its link and its HID interface come and go. The current
// channel's reads and write completions are produced again as this device's own; a Bluetooth
// device writes only while its link is up, both as last handled and as last reported.
//
// Threads: channel events on the channel's thread, Bluetooth events on the Bluetooth bus's,
// calls from anywhere. One mutex guards the channel and the pairing, another the subscriptions to
// the channel (taken first); neither is held while events are produced or the Bluetooth device is
// asked, and the first never while subscribing.
class PairingDevice final : public IHardwareDevice,
                            public Subscriber<IHardwareDevice::Read>,
                            public Subscriber<IHardwareDevice::Write>,
                            public Subscriber<IBluetoothDevice::BtConnect>,
                            public Subscriber<IBluetoothDevice::BtFastConnect>,
                            public Subscriber<IBluetoothDevice::BtUnpair>,
                            public Producer<IHardwareDevice::Read>,
                            public Producer<IHardwareDevice::Write>,
                            public Producer<IHardwareDevice::Connect>,
                            public std::enable_shared_from_this<PairingDevice> {
 public:
  // A channel of the inner bus; btdev is its pairing, null for a corded device.
  static std::shared_ptr<PairingDevice> create(std::weak_ptr<PairingBus> bus, const std::shared_ptr<IHardwareDevice>& hwdev,
                                               std::shared_ptr<IBluetoothDevice> btdev);
  // A pairing known from the cache, without a channel yet.
  static std::shared_ptr<PairingDevice> create(std::weak_ptr<PairingBus> bus, const PairingCacheFile::Entry& entry,
                                               std::shared_ptr<IBluetoothDevice> btdev);
  // Leaves the channel and the Bluetooth device before its own producers go.
  ~PairingDevice() override;

  // IHardwareDevice
  bool connected() override;
  bool open() override;
  void close() override;
  bool write(Bytes report, bool synchronous) override;
  std::weak_ptr<IHardwareBus> bus() override;
  std::string path() override { return path_; }
  std::uint16_t pid() override { return pid_; }
  std::string name() override;
  int bus_type() override { return busType_; }
  int link_index() override;
  bool verify_connection_following_timeout() override;

  // Not corded.
  bool bluetooth() const { return btdev_ != nullptr; }
  // Corded; or paired on a present radio and seen on the inner bus in this run (a pairing known
  // only from the cache has no channel to talk to yet).
  bool visible();
  std::string radio();
  bool hasChannel();
  PairingCacheFile::Entry entry();

  // Data connect: the channel of this path came (again); produces onConnect while the link is up.
  void attach(const std::shared_ptr<IHardwareDevice>& hwdev);
  // Data disconnect: the channel went while the pairing stays; produces onDisconnect while the
  // link is up.
  void detach();
  // Asks the host whether the pairing holds and takes its radio; false when it is lost.
  bool verify_pairing();
  // An LE device over HID, which a GATT channel of the same device can monitor.
  bool monitorable() const;
  bool hasMonitor();
  // The GATT channel of this device, null when none; it is asked too after a time-out.
  void setMonitor(std::shared_ptr<IHardwareDevice> monitor);
  // The radio went (it is no longer present): the pairing with it is forgotten. True when the
  // device was shown on that radio and is hidden now.
  bool remove_radio(const std::string& radio);

 protected:
  bool on_subscribe(IHardwareDevice::Read* subscriber) override;
  void on_unsubscribe(IHardwareDevice::Read* subscriber) override;
  bool on_subscribe(IHardwareDevice::Write* subscriber) override;
  void on_unsubscribe(IHardwareDevice::Write* subscriber) override;

 private:
  PairingDevice(std::weak_ptr<PairingBus> bus, std::string path, std::uint16_t pid, std::string name,
                std::shared_ptr<IBluetoothDevice> btdev, int busType, bool useGatt, std::string radio);
  void subscribeBluetooth();

  // Channel events.
  void onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) override;
  void onWrite(Bytes report, ErrorCode error, unsigned system_error) override;
  // Bluetooth events.
  void onBtConnect(std::string radio) override;
  void onBtPairingUpdate(std::string radio) override;
  void onBtDisconnect() override;
  void onBtFastConnect(std::string radio) override;
  void onBtFastDisconnect() override;
  void onBtUnpair(std::string radio) override;

  // Link changes as handled; each produces its event only when the state changes.
  void linkUp(const std::string& radio);
  void linkDown();
  void produceConnect(bool connected);
  void pairingChanged();
  std::shared_ptr<IHardwareDevice> channel();

  template <class E>
  bool firstSubscriber(std::atomic<int>& count, const char* failure);
  template <class E>
  void subscriberLeft(std::atomic<int>& count);

  const std::weak_ptr<PairingBus> bus_;
  const std::string path_;
  const std::uint16_t pid_;
  const std::shared_ptr<IBluetoothDevice> btdev_;
  const int busType_;
  const bool useGatt_;
  std::atomic<bool> realtimeBtConnected_{false};
  std::mutex btSubscribeMutex_;  // guards the three Bluetooth Subscriber bases
  std::mutex channelSubscribeMutex_;  // guards the Read/Write Subscriber bases and their counts
  std::atomic<int> readers_{0};
  std::atomic<int> writeLoggers_{0};
  std::mutex mutex_;  // guards everything below
  std::shared_ptr<IHardwareDevice> hwdev_;
  std::shared_ptr<IHardwareDevice> monitor_;
  std::string name_;
  std::string radio_;
  bool btConnected_ = false;
  bool seen_ = false;
};

}  // namespace devio
