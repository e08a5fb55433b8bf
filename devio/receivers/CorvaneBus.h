#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "devio/protocol/Device.h"
#include "devio/protocol/IReceiverConfiguration.h"
#include "devio/receivers/CorvaneDevice.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/IReceiver.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

namespace corvane {
// IHardwareBus::devices and IReceiver::devices differ only in their results: each face hands
// its call to an operation of its own name.
class BusFace : public IHardwareBus {
 public:
  std::vector<std::shared_ptr<IHardwareDevice>> devices() final { return enumerate(); }
  virtual std::vector<std::shared_ptr<IHardwareDevice>> enumerate() = 0;
};
class ReceiverFace : public IReceiver {
 public:
  std::vector<std::shared_ptr<IDevice>> devices() final { return paired_devices(); }
  virtual std::vector<std::shared_ptr<IDevice>> paired_devices() = 0;
};
}  // namespace corvane

// A Corvane receiver: its own protocol device (Velo 1.0 registers) and at the same time the bus
// of the devices paired to it, each a CorvaneDevice whose reports travel through the receiver's
// channel with its device index (slot + 1) in byte 1.
//
// Threads: reports and notifications arrive on the receiver channel's read thread, which never
// sends a synchronous command; enumeration, the IReceiver operations and the register-zero
// repair (run-loop delivery) run on the manager's and the clients' threads. children_ and
// arrivals_ have a mutex each; enumerations are serialised by their own.
class CorvaneBus final : public Device,
                         public corvane::BusFace,
                         public corvane::ReceiverFace,
                         public IReceiverConfiguration,
                         public Producer<IHardwareBus::PlugUnplug>,
                         public Producer<IReceiver::LockingChange>,
                         public Producer<IReceiver::RegisterZeroOverwritten>,
                         public Subscriber<IReceiver::RegisterZeroOverwritten> {
 public:
  static std::shared_ptr<CorvaneBus> create(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> channel,
                                            int slotCount, int protocolByte,
                                            std::shared_ptr<Clock> clock = Clock::steady());
  ~CorvaneBus() override;

  // IHardwareBus: the paired devices, enumerated by the receiver's arrival replay.
  std::vector<std::shared_ptr<IHardwareDevice>> enumerate() override;

  // IReceiver
  std::vector<std::shared_ptr<IDevice>> paired_devices() override;
  bool refresh_activity() override;
  bool is_compact() override;
  bool open_lock() override;
  bool close_lock() override;
  bool unpair(int index) override;

  // IReceiverConfiguration, for the protocol devices of the children.
  bool set_software_present() override;
  bool set_slot_flag(int slot) override;
  bool shutdown_receiver() override;

  // Device
  bool shutdown() override;
  void onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) override;
  void onActiveChanged(bool active) override;

  // Sets the wireless-notifications bit once (again after notificationsEnabled was cleared).
  bool enable_receiver_notifications();
  // Register reg becomes set | (old & ~clear), byte by byte; nothing is written without a change.
  bool short_register_bit_operation(Byte reg, std::array<Byte, 3> set, std::array<Byte, 3> clear);

  int slot_count() const { return slotCount_; }
  std::shared_ptr<CorvaneDevice> child(int slot);
  // A child's first write subscriber: the channel's write completions are handed to the children.
  bool route_writes();

  // The register-zero repair (run loop).
  void onRegisterZeroOverwritten() override;

 protected:
  // While active, the first PlugUnplug subscriber needs the receiver's notifications.
  bool on_subscribe(IHardwareBus::PlugUnplug* subscriber) override;

 private:
  // Hands the channel's write completions that carry a child's index to that child.
  class WriteRouter final : public Subscriber<IHardwareDevice::Write> {
   public:
    explicit WriteRouter(CorvaneBus& bus) : bus_(bus) {}
    void onWrite(Bytes report, ErrorCode error, unsigned system_error) override;

   private:
    CorvaneBus& bus_;
  };

  CorvaneBus(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> channel, int slotCount,
             int protocolByte, std::shared_ptr<Clock> clock);
  std::shared_ptr<CorvaneBus> self();

  // Read thread.
  void handleReport(const Bytes& report);
  void perform_arrival(int slot, std::uint16_t pid, bool connected, bool fake_device_arrival);
  void perform_connect(int slot);
  void perform_disconnect(int slot);
  void perform_removal(int slot);
  void producePlug(const std::shared_ptr<CorvaneDevice>& device);
  void produceUnplug(const std::shared_ptr<CorvaneDevice>& device);

  // Enumeration with enumerationMutex_ held.
  std::vector<std::shared_ptr<IHardwareDevice>> enumerateLocked();
  // Enumerates again for a session that became active; announces the changes.
  void reenumerate();
  void startMonitoring();
  bool clearSoftwarePresent();
  // Register 0xB2 (connection and pairing control).
  bool connectionControl(Byte action, Byte index);
  bool validIndex(Byte index) const { return index >= 1 && index <= slotCount_; }

  const int slotCount_;
  const Byte protocolByte_;
  std::mutex childrenMutex_;  // guards children_ and activity_
  std::vector<std::shared_ptr<CorvaneDevice>> children_;
  std::array<Byte, 6> activity_{};
  std::mutex arrivalsMutex_;  // guards arrivals_
  std::map<int, int> arrivals_;  // slot -> arrival reports of the current enumeration
  std::mutex enumerationMutex_;
  std::atomic<int> deviceCount_{0};
  std::atomic<bool> notificationsEnabled_{false};
  std::atomic<bool> enumerating_{false};
  std::atomic<bool> softwarePresent_{false};
  std::mutex monitorMutex_;  // guards monitoring_ and the RegisterZeroOverwritten subscription
  bool monitoring_ = false;
  std::mutex routerMutex_;  // guards the router's subscription
  WriteRouter writeRouter_{*this};
  bool routing_ = false;
};

}  // namespace devio
