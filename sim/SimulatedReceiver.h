#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devio/protocol/Byte.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedPeer.h"
#include "sim/SimulatedVeloDevice.h"

namespace sim {

// A Corvane receiver: a Velo 1.0 device on one channel, with a pairing slot per device of its
// model, each slot holding a SimulatedVeloDevice whose requests and reports travel through the
// receiver's channel with the device index (slot + 1) in byte 1.
//
// Registers (short reports 0x10, device index 0xFF; answers repeat sub-id and register):
//   0x00 notification flags: byte 5 bit 0 wireless notifications (connection, disconnection and
//        lock notifications are sent only while it is set), bit 3 software present
//   0x02 connection state: get answers the paired count in byte 5; set 02 00 00 replays a
//        connection notification for every paired device, then answers
//   0x03 per-slot flags (byte 4 bit n for slot n)
//   0xB2 pairing control, set only: 01 open the lock, 02 close it, 03 index unpair
//   0xB3 (long) activity: answer bytes 4..9, one value per slot 0..5
//   0xB5 (long) pairing information, parameter 0x40 + slot: byte 5 name length, name from byte 6
// Any other request to the receiver itself gets a Velo 1.0 error (invalid sub-id or address).
//
// Notifications: 0x41 connection (byte 3 the protocol byte, byte 4 bit 6 link not established,
// bytes 5..6 the product id, little-endian), 0x40 disconnection with byte 3 = 2 (the pairing was
// removed), 0x4A lock change (byte 3 state: 1 open, 0 closed; byte 4 error 0). Pairing a device
// while the lock is open closes it.
//
// A request to a slot whose device is switched off or absent gets a Velo 1.0 error.
//
// Threads: every member is thread-safe; requests are answered on the writing thread (the paired
// devices answer there too) and the test's operations deliver their notifications on its own.
class SimulatedReceiver final : public std::enable_shared_from_this<SimulatedReceiver> {
 public:
  static constexpr devio::Byte InvalidSubIdError = 1;
  static constexpr devio::Byte InvalidAddressError = 2;
  static constexpr devio::Byte InvalidValueError = 3;
  static constexpr devio::Byte UnknownDeviceError = 8;

  struct Config {
    std::uint16_t pid = 0x7331;
    int slots = 6;
    devio::Byte protocol = 0x04;
    std::string path = "sim://receiver";
    std::string name = "Simulated receiver";
  };

  // Creates the receiver's channel (unplugged) and the receiver as its peer.
  static std::shared_ptr<SimulatedReceiver> create(Config config);
  static std::shared_ptr<SimulatedReceiver> create() { return create(Config{}); }

  std::shared_ptr<SimulatedChannel> channel() const { return channel_; }
  // A request from the host, as the channel hands it on.
  void onHostWrite(const devio::Bytes& report);

  // Pairs a switched-on device in the first free slot; answers it, or null when every slot is
  // taken. The connection notification follows.
  std::shared_ptr<SimulatedVeloDevice> pair(std::uint16_t pid, std::string name, SimulatedVeloDevice::Config device = {});
  // Puts another device into slot (paired or not), announced by its connection notification.
  std::shared_ptr<SimulatedVeloDevice> replace(int slot, std::uint16_t pid, std::string name,
                                               SimulatedVeloDevice::Config device = {});
  // Removes the pairing: disconnection notification.
  void unpair(int slot);
  // Switches the paired device off or on: connection notification with or without the
  // link-not-established flag.
  void switchOff(int slot);
  void switchOn(int slot);
  void openLock();
  void closeLock();
  // The next `replays` arrival replays leave out the last paired slot's notification.
  void loseArrivals(int replays);
  // Every request to register reg is answered with this Velo 1.0 error; 0 ends it.
  void failRegister(devio::Byte reg, devio::Byte error);
  // Other software writes register 0x00: the value changes and every reader sees the answer.
  void overwriteRegisterZero(std::array<devio::Byte, 3> value = {});
  void setActivity(int slot, devio::Byte value);

  // What the receiver holds.
  std::array<devio::Byte, 3> registerValue(devio::Byte reg) const;
  bool lockOpen() const;
  std::shared_ptr<SimulatedVeloDevice> device(int slot) const;
  // Requests to the receiver itself, in order.
  std::vector<devio::Bytes> registerRequests() const;
  // True while no write is being answered (for VirtualTime).
  bool idle() const { return answering_ == 0; }
  std::size_t requestCount() const;

 private:
  struct Slot {
    std::uint16_t pid = 0;
    std::string name;
    bool on = true;
    std::shared_ptr<SimulatedChannel> channel;  // the device's own end, relayed into the receiver's
    std::shared_ptr<SimulatedVeloDevice> device;
  };

  // The channel's peer: holds the receiver weakly, since the receiver holds the channel.
  class Endpoint final : public SimulatedPeer {
   public:
    explicit Endpoint(std::weak_ptr<SimulatedReceiver> receiver) : receiver_(std::move(receiver)) {}
    void onHostWrite(const devio::Bytes& report) override {
      if (const auto receiver = receiver_.lock()) receiver->onHostWrite(report);
    }

   private:
    const std::weak_ptr<SimulatedReceiver> receiver_;
  };

  explicit SimulatedReceiver(Config config);
  // Answers a register request; notifications it causes come first, in *out.
  void answerRegister(const devio::Bytes& request, std::vector<devio::Bytes>* out);
  void setRegister(devio::Byte reg, const devio::Bytes& request, std::vector<devio::Bytes>* out);
  devio::Bytes connectionNotification(int slot) const;
  bool notifying() const;
  // With the lock held; the notifications go to *out.
  std::shared_ptr<SimulatedVeloDevice> pairLocked(int slot, std::uint16_t pid, std::string name,
                                                  SimulatedVeloDevice::Config device, std::vector<devio::Bytes>* out);
  void unpairLocked(int slot, std::vector<devio::Bytes>* out);
  void lockLocked(bool open, std::vector<devio::Bytes>* out);
  void switchTo(int slot, bool on);
  // Runs what under the lock, then sends the notifications it collected.
  void change(const std::function<void(std::vector<devio::Bytes>*)>& what);
  void send(const std::vector<devio::Bytes>& reports);

  const Config config_;
  const std::shared_ptr<SimulatedChannel> channel_;
  std::atomic<int> answering_{0};
  mutable std::mutex mutex_;  // guards everything below; never held while a paired device answers
  std::vector<Slot> slots_;
  std::map<devio::Byte, std::array<devio::Byte, 3>> registers_;
  std::array<devio::Byte, 6> activity_{};
  bool lockOpen_ = false;
  int losses_ = 0;
  std::map<devio::Byte, devio::Byte> failing_;
  std::vector<devio::Bytes> registerRequests_;
  std::size_t requests_ = 0;
};

}  // namespace sim
