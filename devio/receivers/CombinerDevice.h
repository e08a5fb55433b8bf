#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

// The channels (pieces) of one physical device merged into one channel: a write goes to the
// first piece, in ascending report-kind order, whose report length fits it; every piece's reads
// and write completions are produced again as this device's own, on the piece's thread.
//
// Pieces are added from the inner bus's thread and the device is read and written from others,
// so the piece table and the subscriptions to the pieces are guarded by one mutex.
class CombinerDevice final : public IHardwareDevice,
                             public Subscriber<IHardwareDevice::Read>,
                             public Subscriber<IHardwareDevice::Write>,
                             public Producer<IHardwareDevice::Connect>,
                             public Producer<IHardwareDevice::Read>,
                             public Producer<IHardwareDevice::Write>,
                             public std::enable_shared_from_this<CombinerDevice> {
 public:
  CombinerDevice(std::weak_ptr<IHardwareBus> bus, const std::shared_ptr<IHardwareDevice>& firstPiece);
  // Leaves the pieces before its own producers go, so no piece event can reach a half-destroyed device.
  ~CombinerDevice() override;

  // IHardwareDevice
  bool connected() override { return true; }
  bool open() override;
  void close() override;
  bool write(Bytes report, bool synchronous) override;
  std::weak_ptr<IHardwareBus> bus() override { return bus_; }
  std::string path() override { return physicalId_; }
  std::uint16_t pid() override { return pid_; }
  std::string name() override { return name_; }
  bool verify_connection_following_timeout() override;

  // Keeps an existing piece of the same report kinds; false when subscribing to the new one failed.
  bool add_piece(const std::shared_ptr<IHardwareDevice>& piece);
  // Drops the piece with the same path; true when no piece is left.
  bool remove_piece(const std::shared_ptr<IHardwareDevice>& piece);
  // The pieces together carry every report kind of the device.
  bool whole();

 protected:
  bool on_subscribe(IHardwareDevice::Read* subscriber) override;
  void on_unsubscribe(IHardwareDevice::Read* subscriber) override;
  bool on_subscribe(IHardwareDevice::Write* subscriber) override;
  void on_unsubscribe(IHardwareDevice::Write* subscriber) override;

 private:
  // Piece events, on the piece's thread.
  void onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) override;
  void onWrite(Bytes report, ErrorCode error, unsigned system_error) override;

  template <class E>
  bool firstSubscriber(int& count, const char* failure);
  template <class E>
  void subscriberLeft(int& count);
  bool subscribePieceLocked(const std::shared_ptr<IHardwareDevice>& piece);
  std::map<int, std::shared_ptr<IHardwareDevice>> piecesCopy();

  const std::weak_ptr<IHardwareBus> bus_;
  const int needed_;
  const std::string physicalId_;
  const std::uint16_t pid_;
  const std::string name_;
  std::mutex mutex_;  // guards everything below and the two Subscriber bases
  std::map<int, std::shared_ptr<IHardwareDevice>> pieces_;  // by report_types()
  int readers_ = 0;
  int writeLoggers_ = 0;
};

}  // namespace devio
