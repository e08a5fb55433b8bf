// The command engine of Device: sending, waiting for answers, retrying, the response cache and
// the read handler that classifies every report from the channel.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "devio/protocol/Device.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Device";
constexpr Byte kCacheSwid = 0x0A;  // software id nibble of requests and answers in the cache
constexpr int kCacheWriteDelayMs = 10000;

Byte byteAt(const Bytes& bytes, std::size_t i) { return i < bytes.size() ? bytes[i] : Byte{0}; }

Bytes withSwid(Bytes report, int swid) {
  if (report.size() > 3) report[3] = static_cast<Byte>((report[3] & 0xF0) | (swid & 0x0F));
  return report;
}

int lowNibble(const Bytes& report) { return byteAt(report, 3) & 0x0F; }

bool sameHeader(const Bytes& report, const Bytes& request) {
  return byteAt(report, 1) == byteAt(request, 1) && byteAt(report, 2) == byteAt(request, 2) &&
         byteAt(report, 3) == byteAt(request, 3);
}

// Every match position k (payload byte, report byte 4 + k) carries the request's value.
bool satisfies(const Bytes& report, const Bytes& request, const std::vector<int>& match) {
  for (int k : match) {
    if (k < 0 || byteAt(report, 4 + k) != byteAt(request, 4 + k)) return false;
  }
  return true;
}

// A ping is retried on these codes only (a command also on the two soft Velo 1.0 codes).
bool isSoftPingError(ErrorCode code) {
  return code == NoResponse || code == Velo20Error8 || code == WriteGeneralFailure || code == SoftwareIdConflict;
}

Bytes payloadOf(const Bytes& report) { return Bytes(report.begin() + 4, report.end()); }

long long msSince(const Clock& clock, Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - start).count();
}

// Releases the named mutex on every path out of an exchange.
struct NamedMutexHold {
  NamedMutex& mutex;
  ~NamedMutexHold() { mutex.unlock(); }
};

}  // namespace

// ---- sending ----

bool Device::sendCommand(const Bytes& cmd, bool check) {
  if (abandoned_) {
    xLog(kTag, LogWarning, FN(sendCommand), "Device::sendCommand() - abandoned!");
    LastError::set(Abandoned);
    return false;
  }
  if (removed_) {
    xLog(kTag, LogWarning, FN(sendCommand), "Device::sendCommand() - removed!");
    LastError::set(DeviceRemoved);
    return false;
  }
  if (!hwdev_->open()) {
    xLog(kTag, LogWarning, FN(sendCommand), "Device::sendCommand() - hardware device not open!");
    return false;
  }
  if (check && !ensureHardwareSubscriptions()) return false;
  if (!hwdev_->write(cmd, check)) {
    xLog(kTag, LogWarning, FN(sendCommand), "Device::sendCommand() - hwdev->write() failed, errcode = %d!",
         static_cast<int>(LastError::get().code));
    return false;
  }
  return true;
}

bool Device::sendSynchronousCommandWithoutRetry(const Bytes& cmd, Bytes* rsp, const std::vector<int>& match,
                                                bool is_command) {
  // Without the host-wide mutex another program could interleave its exchange with this one.
  if (!namedMutex_ || !namedMutex_->isOpen()) {
    xLog(kTag, LogError, FN(sendSynchronousCommandWithoutRetry), "no device mutex, exchange refused");
    failExchange(LastError{Unavailable, 0, "device mutex unavailable"});
    return false;
  }
  if (!namedMutex_->lock()) return false;
  NamedMutexHold hold{*namedMutex_};
  // Subscribing takes the channel's locks, which its read thread holds while it calls onRead, and
  // onRead takes the command mutex: so subscribe before taking it.
  ensureHardwareSubscriptions();
  std::vector<HeldWrite> held;
  const bool answered = exchange(cmd, rsp, match, is_command, &held);
  if (!held.empty()) {
    // A handler may fail calls of its own; the caller reads this exchange's outcome.
    const LastError outcome = LastError::get();
    for (auto& write : held) onWrite(std::move(write.report), write.error, write.system_error);
    LastError::set(outcome);
  }
  return answered;
}

bool Device::exchange(const Bytes& cmd, Bytes* rsp, const std::vector<int>& match, bool is_command,
                      std::vector<HeldWrite>* held) {
  std::unique_lock lock(commandMutex_);
  exchangeThread_ = std::this_thread::get_id();
  // Destroyed before the lock: the write reports held meanwhile leave with the caller.
  struct HoldWrites {
    Device& device;
    std::vector<HeldWrite>* held;
    ~HoldWrites() {
      device.exchangeThread_ = std::thread::id();
      held->swap(device.heldWrites_);
    }
  } holdWrites{*this, held};

  if (swidChangeNeeded_ && !featureTableEmpty()) {
    const int id = swid();
    failExchange(LastError{SoftwareIdConflict, static_cast<std::uint32_t>(id), nullptr});
    return false;
  }
  if (is_command) hwdev_->before_synchronous_command();
  pendingCommand_ = cmd;
  pendingMatch_ = match;
  response_.clear();
  readCompleted_ = false;
  _initiated_brb_workaround = false;
  const auto start = clock_->now();

  const auto endExchange = [this] {
    if (brbEnabled_) {
      previousCommand_ = pendingCommand_;
      previousMatch_ = pendingMatch_;
    }
    pendingCommand_.clear();
    readCompleted_ = true;
  };

  if (!sendCommand(cmd, true)) {
    xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry),
         "Device::sendSynchronousCommandWithoutRetry() - sendCommand failed!");
    const LastError writeError = LastError::get();
    if (!hwdev_->verify_connection_following_timeout()) {
      xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry),
           "Device::sendSynchronousCommandWithoutRetry() - not connected after timeout!");
      failExchange(LastError{NotConnected, 0, nullptr});
    } else {
      LastError::set(writeError);
    }
    endExchange();
    xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry), "sendSynchronousCommandWithoutRetry returning error %d",
         static_cast<int>(LastError::get().code));
    return false;
  }
  if (brbActive_) {
    xLog(kTag, LogDebug, FN(sendSynchronousCommandWithoutRetry),
         "sendSynchronousCommandWithoutRetry brb workaround sending extra get protocol request to flush response");
    Bytes flush(velo::ShortReportLength, 0);
    flush[3] = velo::functionByte(1, swid());
    sendCommand(flush, false);
  }

  const auto deadline = clock_->now() + std::chrono::milliseconds(timeoutMs_);
  const bool answered = clock_->waitUntil(lock, commandCondition_, deadline, [this] { return readCompleted_; });
  endExchange();

  if (_initiated_brb_workaround) {
    _initiated_brb_workaround = false;
    xLog(kTag, LogInfo, FN(sendSynchronousCommandWithoutRetry),
         "Device::_initiated_brb_workaround, returning no response to trigger a quick retry");
    failExchange(LastError{NoResponse, 0, nullptr});
    return false;
  }
  if (abandoned_) {
    xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry),
         "Device::sendSynchronousCommandWithoutRetry() - abandoned!");
    failExchange(LastError{Abandoned, 0, nullptr});
    return false;
  }
  if (answered && velo::isErrorResponse(response_)) {
    failExchange(velo::mapErrorResponse(response_));
    return false;
  }
  if (answered) {
    if (rsp) *rsp = response_;
    xLog(kTag, LogDebug, FN(sendSynchronousCommandWithoutRetry), "pid %04x elapsed command time %d ms", pid(),
         static_cast<int>(msSince(*clock_, start)));
    return true;
  }
  xLog("Timeout", LogWarning, FN(sendSynchronousCommandWithoutRetry),
       "Device::sendSynchronousCommandWithoutRetry timeout, no response after %d ms, timeout was %d ms",
       static_cast<int>(msSince(*clock_, start)), timeoutMs_);
  if (hwdev_->verify_connection_following_timeout()) {
    xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry),
         "Device::sendSynchronousCommandWithoutRetry() - no response!");
    failExchange(LastError{NoResponse, 0, nullptr});
  } else {
    xLog(kTag, LogWarning, FN(sendSynchronousCommandWithoutRetry),
         "Device::sendSynchronousCommandWithoutRetry() - not connected after timeout!");
    failExchange(LastError{NotConnected, 0, nullptr});
  }
  return false;
}

bool Device::sendSynchronousCommand(const Bytes& cmd, Bytes* rsp, bool cacheable, const std::vector<int>& match) {
  xLog(kTag, LogDebug, FN(sendSynchronousCommand), "sendSynchronousCommand enter, dev=%s", path().c_str());
  if (cmd.size() >= 4) {
    xLog(kTag, LogDebug, FN(sendSynchronousCommand), "sendSynchronousCommand cmd starts with %02x %02x %02x %02x",
         cmd[0], cmd[1], cmd[2], cmd[3]);
  }
  // Velo 1.0 traffic (byte 2 >= 0x80) is never cached.
  const bool useCache = cacheable && cmd.size() >= 4 && cmd[2] < 0x80;
  if (useCache) {
    if (cachedAnswer(cmd, rsp)) {
      xLog(kTag, LogDebug, FN(sendSynchronousCommand), "sendSynchronousCommand exit (true, returning cached data)");
      return true;
    }
    xLog(kTag, LogDebug, FN(sendSynchronousCommand), "requested command not in cache:");
  }

  for (int i = 0;; ++i) {
    if (i > retries_) {
      LastError::set(NoResponse);
      xLog(kTag, LogWarning, FN(sendSynchronousCommand), "sendSynchronousCommand exit (false, NoResponse)");
      return false;
    }
    if (needPing_.exchange(false)) {
      xLog(kTag, LogDebug, FN(sendSynchronousCommand), "need a ping");
      if (featureTableEmpty()) {
        xLog(kTag, LogDebug, FN(sendSynchronousCommand), "not sending ping because device not feature based");
      } else {
        if (i > 0) {
          xLog(kTag, LogDebug, FN(sendSynchronousCommand), "delaying before ping");
          // Jitter, so that two programs retrying on one device drift apart.
          if (!pauseBeforePing(std::rand() % 500 + (10 << i))) {
            xLog(kTag, LogWarning, FN(sendSynchronousCommand), "Device::sendSynchronousCommand() - abandoned!");
            LastError::set(Abandoned);
            return false;
          }
        }
        xLog(kTag, LogDebug, FN(sendSynchronousCommand), "sending ping");
        const int id = chooseSoftwareId();
        const Bytes ping{velo::ShortReportId,           byteAt(cmd, 1), velo::RootFeatureIndex,
                         velo::functionByte(1, id),     0x00,           0x00,
                         static_cast<Byte>(random(16, 255))};
        Bytes pong;
        if (!sendSynchronousCommandWithoutRetry(ping, &pong, {2}, false)) {
          const ErrorCode code = LastError::get().code;
          if (!isSoftPingError(code)) {
            xLog(kTag, LogWarning, FN(sendSynchronousCommand), "Device::sendSynchronousCommand exit (false, ping hard error %d)",
                 static_cast<int>(code));
            return false;
          }
          xLog(kTag, LogInfo, FN(sendSynchronousCommand), "on ping soft error errcode=%d, will ping and retry %d more times",
               static_cast<int>(code), retries_ - i);
          needPing_ = true;
          continue;
        }
        xLog(kTag, LogDebug, FN(sendSynchronousCommand), "ping successful");
        if (needPing_) continue;
      }
    }
    if (needFwCheck_ && !do_fwcheck()) {
      xLog(kTag, LogWarning, FN(sendSynchronousCommand), "before sending command the fw check failed, err=%d",
           static_cast<int>(LastError::get().code));
      return false;
    }

    const Bytes sent = featureTableEmpty() ? cmd : withSwid(cmd, swid());
    Bytes answer;
    if (sendSynchronousCommandWithoutRetry(sent, &answer, match, true)) {
      xLog(kTag, LogDebug, FN(sendSynchronousCommand), "sendSynchronousCommand exit (true, success)");
      const int id = swid();
      if (useCache && lowNibble(sent) == id && lowNibble(answer) == id) storeAnswer(sent, answer);
      if (rsp) *rsp = std::move(answer);
      return true;
    }
    const LastError error = LastError::get();
    if (!isSoftError(error.code)) {
      xLog(kTag, LogWarning, FN(sendSynchronousCommand), "synchronous command hard error errcode=%d",
           static_cast<int>(error.code));
      LastError::set(error);
      return false;
    }
    xLog(kTag, LogInfo, FN(sendSynchronousCommand), "synchronous command soft error errcode=%d, will ping and retry %d more times",
         static_cast<int>(error.code), retries_ - i);
    needPing_ = true;
    if (error.code == NoResponse) needFwCheck_ = true;
  }
}

void Device::failExchange(const LastError& error) {
  onWrite({}, error.code, error.code == SoftwareIdConflict ? error.detail : 0);
  LastError::set(error);
}

bool Device::pauseBeforePing(int ms) {
  std::unique_lock lock(commandMutex_);
  const auto deadline = clock_->now() + std::chrono::milliseconds(ms);
  return !clock_->waitUntil(lock, commandCondition_, deadline, [this] { return abandoned_.load(); });
}

void Device::abandon() {
  xLog(kTag, LogInfo, FN(abandon), "Device::abandon enter");
  abandoned_ = true;
  xLog(kTag, LogInfo, FN(abandon), "Device::abandon setting readCompleted_");
  {
    std::lock_guard lock(commandMutex_);
    readCompleted_ = true;
  }
  commandCondition_.notify_all();
  xLog(kTag, LogInfo, FN(abandon), "Device::abandon exit");
}

// ---- the response cache ----

bool Device::cachedAnswer(const Bytes& cmd, Bytes* rsp) {
  Bytes answer;
  {
    std::lock_guard lock(commandMutex_);
    const auto it = commandCache_.find(withSwid(cmd, kCacheSwid));
    if (it == commandCache_.end()) return false;
    answer = it->second;
  }
  if (rsp) *rsp = withSwid(std::move(answer), swid());
  return true;
}

void Device::storeAnswer(const Bytes& sent, const Bytes& answer) {
  {
    std::lock_guard lock(commandMutex_);
    commandCache_[withSwid(sent, kCacheSwid)] = withSwid(answer, kCacheSwid);
    cacheDirty_ = true;
  }
  if (cache_write_timer) cache_write_timer->start_if_idle(kCacheWriteDelayMs);
}

// ---- software ids ----

int Device::swid() {
  std::lock_guard lock(stampMutex_);
  if (swid_ != 0) return swid_;
  const auto manager = manager_.lock();
  const int id = manager ? manager->swid() : 0;
  if (id == 0) return 15;  // the manager is gone: 15 for now, ask again next time
  swid_ = id;
  return swid_;
}

int Device::chooseSoftwareId() {
  if (swidChangeNeeded_) {
    std::lock_guard lock(stampMutex_);
    // Ties go to the highest id, so a fresh device starts at 15, then 14, ...
    int best = stampCounter_;
    for (int id = 1; id <= 15; ++id) {
      if (swidStamps_[id] <= best) {
        best = swidStamps_[id];
        swid_ = id;
      }
    }
    swidChangeNeeded_ = false;
  }
  return swid();
}

// ---- reports from the channel (read thread) ----

std::shared_ptr<IFeature> Device::tableEntry(int index, bool* tableEmpty) {
  std::lock_guard lock(featureTableMutex_);
  *tableEmpty = featureTable_.empty();
  const auto it = featureTable_.find(index);
  return it == featureTable_.end() ? nullptr : it->second;
}

bool Device::featureTableEmpty() {
  std::lock_guard lock(featureTableMutex_);
  return featureTable_.empty();
}

void Device::onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) {
  {
    std::lock_guard lock(reportTimeMutex_);
    lastReportTime_ = clock_->now();
  }
  const ReportType type = classify(report, index_is_self);
  if (active_) {
    Producer<IDevice::Report>::produce(
        [report = std::move(report), system_error, length, type](IDevice::Report* s) {
          s->onReport(report, system_error, length, type);
        },
        "Device::Report::onReport");
  }
}

ReportType Device::classify(Bytes report, bool index_is_self) {
  if (report.size() < velo::ShortReportLength) {
    xLog(kTag, LogVerbose, FN(onRead), "Not processing short read report of %d bytes", static_cast<int>(report.size()));
    return ReportType::Ignored;
  }
  if (index_is_self) report[1] = velo::DeviceIndexSelf;
  if (velo::isVelo10Notification(report)) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is a Velo 1.0 notification");
    return ReportType::Notification;
  }
  if (report[1] != velo::DeviceIndexSelf && report[1] != 0x00) return ReportType::Ignored;

  const Byte x = report[2];
  const unsigned s = report[3] & 0x0F;
  const unsigned f = report[3] >> 4;
  bool tableEmpty = true;
  const auto entry = tableEntry(x, &tableEmpty);
  const auto feature = std::dynamic_pointer_cast<Feature>(entry);
  if (entry && s == 0) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is a Velo 2.0 notification");
    if (active_ && feature) feature->deliverFeatureReport(static_cast<int>(f), payloadOf(report));
    return ReportType::Notification;
  }
  if (tableEmpty && x >= 0x01 && x <= 0x7F) {
    xLog(kTag, LogVerbose, FN(onRead),
         "Report is a Velo 1.0 notification or a Velo 2.0 response/event for an unknown feature");
    return ReportType::Ignored;
  }
  if (completePending(report)) return ReportType::Response;
  if (tableEmpty) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is an unexpected Velo 1.0 command response, ignoring");
    return ReportType::ForeignResponse;
  }
  if (velo::isProtocolCheck(report)) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is a protocol check response from other SW using swid 0x%x, ignoring", s);
    return ReportType::ForeignResponse;
  }
  xLog(kTag, LogVerbose, FN(onRead), "Report is a feature response from other SW using swid 0x%x", s);
  if (static_cast<int>(s) == swid()) {
    xLog(kTag, LogInfo, FN(onRead),
         "Report is an unexpected command response with our swid 0x%x, so we will switch our swid", s);
    swidChangeNeeded_ = true;
    needPing_ = true;
  }
  {
    std::lock_guard lock(stampMutex_);
    swidStamps_[s] = ++stampCounter_;
  }
  if (!entry) {
    if (s != 0) {
      xLog(kTag, LogVerbose, FN(onRead),
           "Report is a response to an unknown feature index %02x from other SW using swid 0x%x, ignoring", x, s);
    } else {
      xLog(kTag, LogVerbose, FN(onRead), "Report is a notif from an unknown feature at index %02x, ignoring", x);
    }
  } else if (active_ && feature) {
    feature->deliverUnexpectedResponse(f, s, payloadOf(report));
  }
  return ReportType::ForeignResponse;
}

bool Device::completePending(const Bytes& report) {
  std::lock_guard lock(commandMutex_);
  if (readCompleted_) {
    xLog(kTag, LogVerbose, FN(onRead), "No command in progress");
    return false;
  }
  if (pendingCommand_.empty()) return false;
  if (velo::errorAnswers(report, pendingCommand_)) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is a Velo error response");
  } else if (sameHeader(report, pendingCommand_) && satisfies(report, pendingCommand_, pendingMatch_)) {
    xLog(kTag, LogVerbose, FN(onRead), "Report is a Velo command response");
    hwdev_->response_received(hwdev_->response_cookie());
  } else {
    if (!sameHeader(report, pendingCommand_)) {
      xLog(kTag, LogVerbose, FN(onRead),
           "Response with mismatched header does not complete our pending command. Continuing decoding... (!)");
    } else {
      xLog(kTag, LogVerbose, FN(onRead),
           "Response with mismatched payload does not complete our pending command. Continuing decoding...");
    }
    // Some receiver-attached devices answer a request with the answer to the previous one.
    if (!brbEnabled_ || brbActive_ || previousCommand_.empty() || !sameHeader(report, previousCommand_) ||
        !satisfies(report, previousCommand_, previousMatch_)) {
      xLog(kTag, LogVerbose, FN(onRead), "Command in progress, size is %d", static_cast<int>(pendingCommand_.size()));
      return false;
    }
    xLog(kTag, LogInfo, FN(onRead), "Response matches previous command. Activating brb workaround.");
    brbActive_ = true;
    _initiated_brb_workaround = true;
  }
  response_ = report;
  readCompleted_ = true;
  commandCondition_.notify_all();
  return true;
}

void Device::onWrite(Bytes report, ErrorCode error, unsigned system_error) {
  if (!active_) return;
  // Handlers may send commands or read the cache, which take the command mutex: an exchange
  // holding it on this thread produces them once it has let go.
  if (exchangeThread_.load() == std::this_thread::get_id()) {
    heldWrites_.push_back({std::move(report), error, system_error});
    return;
  }
  Producer<IDevice::WriteReport>::produce(
      [report = std::move(report), error, system_error](IDevice::WriteReport* s) {
        s->onWriteReport(report, error, system_error);
      },
      "Device::Report::onWriteReport");
}

bool Device::on_subscribe(IDevice::WriteReport*) {
  std::lock_guard lock(hardwareMutex_);
  if (Subscriber<IHardwareDevice::Write>::subscribe(hwdev_, Direct)) {
    xLog(kTag, LogInfo, FN(on_subscribe), "subscribed to write reports");
  } else {
    xLog(kTag, LogWarning, FN(on_subscribe), "could not subscribe to write reports, err=%d",
         static_cast<int>(LastError::get().code));
  }
  return true;
}

}  // namespace devio
