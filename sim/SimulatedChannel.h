#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"
#include "sim/SimulatedPeer.h"

namespace sim {

// A hardware channel that behaves like a HID report channel without a host transport.
//
// Life: created unplugged; a bus plugs it in (plugInto, done by SimulatedBus::plug) and pulls it
// out (pull). While unplugged every open() and write() fails with DeviceRemoved.
//
// Reading: the channel has its own read thread. It starts when Read gets its first subscriber
// and is stopped and joined when the last Read subscriber leaves or the channel is destroyed.
// Reports handed to deliver() are produced as onRead(report, false, 0, size) on that thread, in
// order. Pulling the channel ends reading with a final onRead({}, false, 1167, 0) after the
// reports already delivered.
//
// Writing: write() pads to report_length() and refuses empty reports (WriteTooShort), longer
// ones (WriteExceedsCollectionSize), a synchronous write on the read thread
// (CannotPerformBlockingWriteOnReadThread) and a synchronous write while reading does not run
// (CannotPerformWriteWithoutReadThreadRunning). An accepted report goes to the peer on the
// writing thread. Every write produces exactly one Write event (with the empty report when it
// failed) on the writing thread.
//
// Latency (Config::latency, for benchmarks; 0 by default): a write waits that long (real time)
// before the peer gets the report, and the read thread hands a delivered report to the readers no
// earlier than that long after it was queued. Order is kept either way.
//
// Identity (Config) is fixed at creation; a peer can be set at any time. The channel may be
// released on any thread, its read thread included: a Read handler that drops the last
// reference ends the run after the handler, without the read thread joining itself.
class SimulatedChannel final : public devio::IHardwareDevice,
                               public devio::Producer<devio::IHardwareDevice::Read>,
                               public devio::Producer<devio::IHardwareDevice::Write>,
                               public devio::Producer<devio::IHardwareDevice::Connect>,
                               public std::enable_shared_from_this<SimulatedChannel> {
 public:
  struct Config {
    std::uint16_t pid = 0x6E21;
    std::string name = "Simulated device";
    std::string path = "sim://device";
    int busType = 0;
    int linkIndex = 0;
    int reportLength = 20;
    bool openFails = false;  // open() fails with OpenFailed
    std::chrono::microseconds latency{0};  // per report, each direction
    // One HID collection of a device presented as several (what a combiner merges).
    int reportTypes = 2;
    int deviceReportTypes = 2;
    std::string physicalId;  // empty: the path
  };

  static std::shared_ptr<SimulatedChannel> create(Config config);
  static std::shared_ptr<SimulatedChannel> create() { return create(Config{}); }
  ~SimulatedChannel() override;

  // IHardwareDevice
  bool connected() override;
  bool open() override;
  void close() override;
  bool write(devio::Bytes report, bool synchronous) override;
  std::weak_ptr<devio::IHardwareBus> bus() override;
  std::string path() override { return config_.path; }
  std::uint16_t pid() override { return config_.pid; }
  std::string name() override { return config_.name; }
  int bus_type() override { return config_.busType; }
  int link_index() override { return config_.linkIndex; }
  int report_length() override { return config_.reportLength; }
  int report_types() override { return config_.reportTypes; }
  int device_report_types() override { return config_.deviceReportTypes; }
  std::string physical_id() override { return config_.physicalId.empty() ? config_.path : config_.physicalId; }
  // False once the channel was pulled: a timed-out command then counts as NotConnected.
  bool verify_connection_following_timeout() override;

  // The device end; null detaches it.
  void setPeer(std::shared_ptr<SimulatedPeer> peer);
  // Queues one report for the read thread (any thread). Dropped while unplugged.
  void deliver(devio::Bytes report);
  // From now on delivered reports go to relay on the delivering thread instead (a device whose
  // reports travel through another channel, as one behind a receiver does); empty: read again.
  void relayTo(std::function<void(devio::Bytes)> relay);
  // While reading runs without latency, delivered reports are produced on the delivering thread
  // instead, one at a time: one thread hand-off less for a reader that only forwards them (the
  // simulated host's bridge) and never calls back into the channel from its handler.
  void readOnDeliveringThread(bool onDeliveringThread);

  // Plugged into bus (weakly held); announces nothing by itself.
  void plugInto(std::weak_ptr<devio::IHardwareBus> bus);
  // The device vanished: reading ends with the final empty report, later operations fail.
  void pull();
  // Changes the link state and produces onConnect or onDisconnect on the calling thread.
  void setConnected(bool connected);

  bool isOpen();
  bool isReading();
  // No report is on its way to a reader: none is queued while reading runs, and the read thread
  // is not inside a Read handler. Reports queued while nobody reads do not count.
  bool idle();

 protected:
  void on_subscription_added(devio::IHardwareDevice::Read* subscriber, bool direct) override;
  void on_unsubscribe(devio::IHardwareDevice::Read* subscriber) override;

 private:
  // One run of the read thread; its stop flag is its own, so a run that is ending never
  // mistakes a later run's state for its own.
  struct ReadRun {
    bool stop = false;  // guarded by mutex_
    std::atomic<bool> released{false};  // the channel was destroyed on this run's thread
  };
  struct Queued {
    devio::Bytes report;
    std::chrono::steady_clock::time_point due;  // when the latency has passed
  };

  explicit SimulatedChannel(Config config);
  devio::ErrorCode openLocked();
  void startReadingLocked(std::unique_lock<std::mutex>& lock);
  void stopReadingLocked(std::unique_lock<std::mutex>& lock);
  void readLoop(std::shared_ptr<ReadRun> run);
  // Produces one Read event without the lock (held on entry and, when true, on return); false
  // when a handler released the channel, which is then gone.
  bool produceRead(std::unique_lock<std::mutex>& lock, const ReadRun& run, const std::function<void(Read*)>& call);
  bool onReadThread() const { return reader_.get_id() == std::this_thread::get_id(); }

  const Config config_;
  std::mutex mutex_;  // guards everything below
  std::condition_variable wakeReader_;
  std::weak_ptr<devio::IHardwareBus> bus_;
  std::shared_ptr<SimulatedPeer> peer_;
  std::function<void(devio::Bytes)> relay_;
  bool plugged_ = false;
  bool open_ = false;
  bool connected_ = true;
  int readSubscribers_ = 0;
  bool readOnDeliveringThread_ = false;
  std::mutex deliveringOrder_;  // one production on a delivering thread at a time
  bool reading_ = false;     // the current run delivers reports
  int delivering_ = 0;       // runs producing a report right now
  std::deque<Queued> inbox_;
  std::shared_ptr<ReadRun> run_;
  std::thread reader_;
};

}  // namespace sim
