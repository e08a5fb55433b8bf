#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"

namespace devio {

class CorvaneBus;

// One paired device behind a Corvane receiver. It has no channel of its own: writes go out
// through the receiver with the device index (slot + 1) in byte 1, and the receiver hands it the
// reports and write completions that carry its index.
//
// The protocol device reaches the receiver's configuration operations through bus(), which
// the receiver answers as IReceiverConfiguration.
//
// Threads: connection changes and the read and write hand-overs come on the receiver channel's
// read thread (write completions on the writing thread); writes and name() from any other.
class CorvaneDevice final : public IHardwareDevice,
                            public Producer<IHardwareDevice::Write>,
                            public Producer<IHardwareDevice::Read>,
                            public Producer<IHardwareDevice::Connect>,
                            public std::enable_shared_from_this<CorvaneDevice> {
 public:
  CorvaneDevice(std::weak_ptr<CorvaneBus> receiver, int slot, std::uint16_t qid, bool connected);
  ~CorvaneDevice() override;

  // IHardwareDevice
  bool connected() override { return connected_; }
  bool open() override { return true; }
  void close() override {}
  bool write(Bytes report, bool synchronous) override;
  std::weak_ptr<IHardwareBus> bus() override;
  std::string path() override { return path_; }
  std::uint16_t pid() override { return qid_; }
  std::string name() override;
  int receiver_activity() override { return activity_; }
  int bus_type() override { return 1; }
  int link_index() override { return slot_ + 1; }
  int receiver_status() override;
  bool verify_connection_following_timeout() override;

  // For the receiver.
  int slot() const { return slot_; }
  void processConnect();
  void processDisconnect();
  void handRead(Bytes report);
  void handWrite(Bytes report, ErrorCode error, unsigned system_error);
  void setActivity(int activity) { activity_ = activity; }

 protected:
  // The first write subscriber makes the receiver route its channel's write completions here.
  bool on_subscribe(IHardwareDevice::Write* subscriber) override;

 private:
  // The receiver, or null with DeviceRemoved recorded.
  std::shared_ptr<CorvaneBus> lockReceiver();

  const std::weak_ptr<CorvaneBus> receiver_;
  const int slot_;
  const std::uint16_t qid_;
  const std::string path_;
  std::atomic<bool> connected_;
  std::atomic<bool> disconnectedSinceWrite_{false};
  std::atomic<int> activity_{0};
  std::mutex nameMutex_;  // guards the cached name
  std::string cachedName_;
  bool nameCached_ = false;
};

}  // namespace devio
