#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"
#include "devio/win32/IWin32System.h"

namespace devio {

class Win32Bus;

// One HID top-level collection as a report channel. open() is also the filter of the HID bus:
// only the maker's vendor-defined Velo collections open. Reports are read on a thread of the
// channel's own, started when Read has a subscriber and the channel is open, and stopped by
// close(); writes wait for their completion at most write_timeout (10 s).
//
// Threads: open(), write() and close() from any thread (close() also from the read thread,
// which is then detached instead of joined); Read events on the read thread; the bus's window
// thread may close the handle on a removal query, which the next open() notices.
class Win32Device final : public IHardwareDevice,
                          public Producer<IHardwareDevice::Write>,
                          public Producer<IHardwareDevice::Read>,
                          public Producer<IHardwareDevice::Connect>,
                          public std::enable_shared_from_this<Win32Device> {
 public:
  static constexpr std::chrono::milliseconds kWriteTimeout{10000};

  Win32Device(std::weak_ptr<Win32Bus> bus, std::shared_ptr<IWin32System> system, std::string path);
  ~Win32Device() override;

  // IHardwareDevice
  bool connected() override { return true; }
  bool open() override;
  void close() override;
  bool write(Bytes report, bool synchronous) override;
  std::weak_ptr<IHardwareBus> bus() override;
  std::string path() override { return path_; }
  std::uint16_t pid() override { return pid_; }
  std::string name() override { return productName_; }
  bool verify_connection_following_timeout() override;
  std::string physical_id() override;
  int report_types() override { return usage_ & 0xFF; }
  int device_report_types() override;
  int report_length() override { return reportLength_; }

  // The body of the read thread.
  void read_thread(std::shared_ptr<std::atomic<bool>> run);

  // How long a write waits for its completion.
  void write_timeout(std::chrono::milliseconds timeout) { writeTimeout_ = timeout; }

 protected:
  // A Read subscriber starts reading on an open channel.
  bool on_subscribe(IHardwareDevice::Read* subscriber) override;

 private:
  bool fail(ErrorCode code, std::uint32_t detail, const char* message, const char* reason);
  bool readCollection();
  void findParentInstance();
  bool createEvents();
  void startReadThread();
  void produceWrite(const Bytes& report, ErrorCode code, unsigned detail);
  void logReport(const char* direction, const Bytes& report, std::size_t size);
  bool onReadThread();

  const std::weak_ptr<Win32Bus> bus_;
  const std::shared_ptr<IWin32System> system_;
  const std::string path_;
  std::string parentInstance_;
  std::string productName_;
  std::uint16_t vid_ = 0;
  std::uint16_t pid_ = 0;
  std::uint16_t version_ = 0;
  int reportLength_ = 0;
  std::uint16_t usage_ = 0;
  std::uint16_t usagePage_ = 0;
  std::map<Byte, int> reportLengths_;  // report id -> length
  bool capsRead_ = false;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HDEVNOTIFY notification_ = nullptr;
  HANDLE writeEvent_ = INVALID_HANDLE_VALUE;
  std::vector<HANDLE> readEvents_;  // [0] stop, [1] read completion
  std::chrono::milliseconds writeTimeout_ = kWriteTimeout;
  std::recursive_mutex lifeMutex_;  // open and close
  std::thread readThread_;
  std::mutex startMutex_;  // the read thread's start handshake
  std::condition_variable startSignal_;
  bool readThreadStarted_ = false;
  std::mutex writeMutex_;  // one overlapped write at a time on writeEvent_
  bool subscribed_ = false;
  bool isOpen_ = false;
  std::atomic<bool> reading_{false};
  // The current read run's own flag: a run detached by a close on its thread ends on it even when
  // the channel is opened again (and reading_ set for the next run) before it got there.
  std::shared_ptr<std::atomic<bool>> run_;
  std::atomic<bool> destructed_{false};
  std::atomic<bool> removed_{false};
  // False once destroyed; shared with the read thread, which may outlive the channel detached.
  const std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace devio
