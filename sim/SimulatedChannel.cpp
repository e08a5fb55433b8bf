#include "sim/SimulatedChannel.h"

#include "devio/protocol/LastError.h"
#include "devio/runtime/WorkerThread.h"

namespace sim {

using devio::Bytes;
using devio::ErrorCode;
using devio::IHardwareDevice;

namespace {
constexpr unsigned kDeviceNotConnected = 1167;  // the host's error for a vanished device
}

std::shared_ptr<SimulatedChannel> SimulatedChannel::create(Config config) {
  return std::shared_ptr<SimulatedChannel>(new SimulatedChannel(std::move(config)));
}

SimulatedChannel::SimulatedChannel(Config config) : config_(std::move(config)) {}

SimulatedChannel::~SimulatedChannel() {
  std::unique_lock lock(mutex_);
  if (reader_.joinable() && onReadThread()) {
    // Released by a Read handler: the run ends once the handler returns, without this object.
    run_->released = true;
    reader_.detach();
    return;
  }
  stopReadingLocked(lock);
}

bool SimulatedChannel::connected() {
  std::lock_guard lock(mutex_);
  return plugged_ && connected_;
}

ErrorCode SimulatedChannel::openLocked() {
  if (!plugged_) return devio::DeviceRemoved;
  if (config_.openFails) return devio::OpenFailed;
  open_ = true;
  return devio::Success;
}

bool SimulatedChannel::open() {
  ErrorCode error;
  {
    std::lock_guard lock(mutex_);
    error = openLocked();
  }
  if (error != devio::Success) {
    devio::LastError::set(error);
    return false;
  }
  return true;
}

void SimulatedChannel::close() {
  std::lock_guard lock(mutex_);
  open_ = false;
}

bool SimulatedChannel::write(Bytes report, bool synchronous) {
  ErrorCode error = devio::Success;
  std::shared_ptr<SimulatedPeer> peer;
  {
    std::lock_guard lock(mutex_);
    error = openLocked();
    if (error != devio::Success) {
    } else if (report.empty()) {
      error = devio::WriteTooShort;
    } else if (report.size() > static_cast<std::size_t>(config_.reportLength)) {
      error = devio::WriteExceedsCollectionSize;
    } else if (synchronous && onReadThread()) {
      error = devio::CannotPerformBlockingWriteOnReadThread;
    } else if (synchronous && !reading_) {
      error = devio::CannotPerformWriteWithoutReadThreadRunning;
    } else {
      report.resize(config_.reportLength, 0);
      peer = peer_;
    }
  }
  const Bytes written = error == devio::Success ? report : Bytes{};
  devio::Producer<Write>::produce([written, error](Write* s) { s->onWrite(written, error, 0); },
                                  "SimulatedChannel::Write::onWrite");
  if (error != devio::Success) {
    devio::LastError::set(error);
    return false;
  }
  if (config_.latency.count() > 0) std::this_thread::sleep_for(config_.latency);
  if (peer) peer->onHostWrite(report);
  return true;
}

bool SimulatedChannel::verify_connection_following_timeout() {
  std::lock_guard lock(mutex_);
  return plugged_;
}

std::weak_ptr<devio::IHardwareBus> SimulatedChannel::bus() {
  std::lock_guard lock(mutex_);
  return bus_;
}

void SimulatedChannel::setPeer(std::shared_ptr<SimulatedPeer> peer) {
  std::lock_guard lock(mutex_);
  peer_ = std::move(peer);
}

void SimulatedChannel::deliver(Bytes report) {
  std::unique_lock lock(mutex_);
  if (!plugged_) return;
  if (relay_) {
    const auto relay = relay_;
    lock.unlock();
    relay(std::move(report));
    return;
  }
  if (readOnDeliveringThread_ && reading_ && inbox_.empty() && config_.latency.count() == 0) {
    auto self = shared_from_this();
    ++delivering_;
    lock.unlock();
    {
      std::lock_guard order(deliveringOrder_);
      const auto length = static_cast<unsigned>(report.size());
      devio::Producer<Read>::produce([&report, length](Read* s) { s->onRead(report, false, 0, length); },
                                     "SimulatedChannel::Read::onRead");
    }
    lock.lock();
    --delivering_;
    return;
  }
  const auto due = config_.latency.count() > 0 ? std::chrono::steady_clock::now() + config_.latency
                                               : std::chrono::steady_clock::time_point{};
  inbox_.push_back({std::move(report), due});
  wakeReader_.notify_all();
}

void SimulatedChannel::relayTo(std::function<void(Bytes)> relay) {
  std::lock_guard lock(mutex_);
  relay_ = std::move(relay);
}

void SimulatedChannel::readOnDeliveringThread(bool onDeliveringThread) {
  std::lock_guard lock(mutex_);
  readOnDeliveringThread_ = onDeliveringThread;
}

void SimulatedChannel::plugInto(std::weak_ptr<devio::IHardwareBus> bus) {
  std::unique_lock lock(mutex_);
  bus_ = std::move(bus);
  plugged_ = true;
  startReadingLocked(lock);
}

void SimulatedChannel::pull() {
  std::lock_guard lock(mutex_);
  plugged_ = false;
  open_ = false;
  if (!reading_) inbox_.clear();
  wakeReader_.notify_all();
}

void SimulatedChannel::setConnected(bool connected) {
  {
    std::lock_guard lock(mutex_);
    connected_ = connected;
  }
  auto self = shared_from_this();
  if (connected) {
    devio::Producer<Connect>::produce([self](Connect* s) { s->onConnect(self); }, "SimulatedChannel::Connect::onConnect");
  } else {
    devio::Producer<Connect>::produce([self](Connect* s) { s->onDisconnect(self); },
                                      "SimulatedChannel::Connect::onDisconnect");
  }
}

bool SimulatedChannel::isOpen() {
  std::lock_guard lock(mutex_);
  return open_;
}

bool SimulatedChannel::isReading() {
  std::lock_guard lock(mutex_);
  return reading_;
}

bool SimulatedChannel::idle() {
  std::lock_guard lock(mutex_);
  return delivering_ == 0 && !(reading_ && !inbox_.empty());
}

// ---- the read thread ----

void SimulatedChannel::on_subscription_added(Read*, bool) {
  std::unique_lock lock(mutex_);
  ++readSubscribers_;
  startReadingLocked(lock);
}

void SimulatedChannel::on_unsubscribe(Read*) {
  std::unique_lock lock(mutex_);
  if (--readSubscribers_ == 0) stopReadingLocked(lock);
}

void SimulatedChannel::startReadingLocked(std::unique_lock<std::mutex>& lock) {
  if (!plugged_ || readSubscribers_ == 0 || reading_) return;
  if (reader_.joinable()) {
    if (onReadThread()) {
      // Re-subscribed from a handler of the run that was just told to stop: it keeps going.
      run_->stop = false;
      reading_ = true;
      return;
    }
    // A run that ended (pulled) or was told to stop: join it first, outside the lock.
    std::thread previous = std::move(reader_);
    lock.unlock();
    previous.join();
    lock.lock();
    if (!plugged_ || readSubscribers_ == 0 || reading_ || reader_.joinable()) return;
  }
  run_ = std::make_shared<ReadRun>();
  reading_ = true;
  reader_ = std::thread(&SimulatedChannel::readLoop, this, run_);
}

void SimulatedChannel::stopReadingLocked(std::unique_lock<std::mutex>& lock) {
  if (!reader_.joinable()) return;
  run_->stop = true;
  reading_ = false;
  wakeReader_.notify_all();
  if (onReadThread()) return;  // a handler unsubscribed: the run ends after it, joined later
  std::thread current = std::move(reader_);
  lock.unlock();
  current.join();
  lock.lock();
}

bool SimulatedChannel::produceRead(std::unique_lock<std::mutex>& lock, const ReadRun& run,
                                   const std::function<void(Read*)>& call) {
  // Held through the production, so that a handler dropping the last reference does not destroy
  // the channel under the walk. Empty while the owner destroys it (and joins this thread).
  auto self = weak_from_this().lock();
  ++delivering_;
  lock.unlock();
  devio::Producer<Read>::produce(call, "SimulatedChannel::Read::onRead");
  self.reset();
  if (run.released) return false;
  lock.lock();
  --delivering_;
  return true;
}

void SimulatedChannel::readLoop(std::shared_ptr<ReadRun> run) {
  const devio::WorkerThread worker;
  std::unique_lock lock(mutex_);
  for (;;) {
    wakeReader_.wait(lock, [&] { return run->stop || !inbox_.empty() || !plugged_; });
    if (run->stop) return;
    if (inbox_.empty()) {
      // Pulled, and everything delivered before that has been read.
      run->stop = true;
      reading_ = false;
      produceRead(lock, *run, [](Read* s) { s->onRead({}, false, kDeviceNotConnected, 0); });
      return;
    }
    if (const auto due = inbox_.front().due; std::chrono::steady_clock::now() < due) {
      // The report is still on its way; a stop ends the wait, a pull does not.
      wakeReader_.wait_until(lock, due, [&] { return run->stop; });
      continue;
    }
    Bytes report = std::move(inbox_.front().report);
    inbox_.pop_front();
    const auto length = static_cast<unsigned>(report.size());
    if (!produceRead(lock, *run, [report = std::move(report), length](Read* s) { s->onRead(report, false, 0, length); })) {
      return;
    }
  }
}

}  // namespace sim
