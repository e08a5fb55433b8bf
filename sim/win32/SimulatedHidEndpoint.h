#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devio/protocol/Byte.h"

namespace sim {

// The device end of one handle a simulated host gave out: a message-mode named pipe (one report
// is one message) whose client end is the caller's overlapped handle. Reports the host writes
// reach `onHostWrite` on the endpoint's own thread; send() queues a report for the host to read.
//
// The host side writes with a zero-size inbound buffer, so a host write completes only once the
// endpoint has taken it: stopReading() makes the device "stop answering" and host writes pend.
// sever() closes the pipe, which ends the host's pending and later I/O on the handle.
class SimulatedHidEndpoint {
 public:
  using HostWrite = std::function<void(const devio::Bytes&)>;

  // The client handle is opened overlapped for reading and writing; invalid on failure. Made
  // with reading false, the endpoint never takes a host write (as after stopReading(), without
  // cancelling a read, which the host may not do at once).
  SimulatedHidEndpoint(std::size_t reportLength, HostWrite onHostWrite, bool reading = true);
  ~SimulatedHidEndpoint();
  SimulatedHidEndpoint(const SimulatedHidEndpoint&) = delete;
  SimulatedHidEndpoint& operator=(const SimulatedHidEndpoint&) = delete;

  HANDLE clientHandle() const { return client_; }
  // False once the client end was closed or the endpoint severed.
  bool alive() const { return !ended_; }
  bool send(const devio::Bytes& report);
  void stopReading();
  void sever();

 private:
  void serve();

  const std::size_t reportLength_;
  const HostWrite onHostWrite_;
  HANDLE server_ = INVALID_HANDLE_VALUE;
  HANDLE client_ = INVALID_HANDLE_VALUE;
  HANDLE stop_ = nullptr;
  // The one write in flight to the host; the endpoint owns its record and report until it ends.
  struct PendingWrite {
    devio::Bytes report;
    OVERLAPPED overlapped{};
    HANDLE done = nullptr;
    bool active = false;
  };
  std::mutex writeMutex_;  // guards pending_ and the server handle's writes
  std::unique_ptr<PendingWrite> pending_ = std::make_unique<PendingWrite>();
  std::atomic<bool> ended_{false};
  std::atomic<bool> reading_{true};
  std::thread thread_;
};

}  // namespace sim
