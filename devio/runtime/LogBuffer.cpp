#include "devio/runtime/LogBuffer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <system_error>
#include <utility>

#include "devio/runtime/Host.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {

// The buffer this thread is reading (the log thread, or a flushing thread): its own log lines
// must not wait for the reader, which is itself.
thread_local const LogBuffer* tlsReading = nullptr;

class ReadingScope {
 public:
  explicit ReadingScope(const LogBuffer* buffer) : previous_(tlsReading) { tlsReading = buffer; }
  ~ReadingScope() { tlsReading = previous_; }
  ReadingScope(const ReadingScope&) = delete;
  ReadingScope& operator=(const ReadingScope&) = delete;

 private:
  const LogBuffer* previous_;
};

constexpr const char* kOutput = "devio::LogBuffer::output_from_oldest_buffer";

}  // namespace

LogBuffer::LogBuffer(Options options, std::shared_ptr<LogSink> sink, std::shared_ptr<Clock> clock, SelfLog selfLog)
    : options_(std::move(options)), sink_(std::move(sink)), clock_(std::move(clock)), selfLog_(std::move(selfLog)) {
  clock_->attach(mutex_, cv_);
}

LogBuffer::~LogBuffer() {
  {
    std::lock_guard start(startMutex_);
    shutdown_.store(true);
    wake();
    if (thread_.joinable()) thread_.join();
  }
  clock_->detach(mutex_, cv_);
  for (LogRing* ring = first_; ring;) delete std::exchange(ring, ring->next());
}

bool LogBuffer::log(int level, const char* function, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return selfLog_(level, function, text);
}

LogRing* LogBuffer::start() {
  std::lock_guard lock(startMutex_);
  if (LogRing* ring = current_.load(std::memory_order_acquire)) return ring;
  first_ = oldest_ = new LogRing(options_.entries, options_.text);
  current_.store(first_, std::memory_order_release);
  if (options_.thread && !shutdown_.load()) {
    try {
      thread_ = std::thread([this] { logthreadproc(); });
    } catch (const std::system_error&) {
      return first_;  // no log thread: messages wait for flush() or shutdown()
    }
    if (options_.threadStarted) options_.threadStarted();
  }
  return first_;
}

bool LogBuffer::put(const LogRecord& record) {
  if (shutdown_.load(std::memory_order_acquire)) {
    if (sink_) {
      sink_->write(record);
      sink_->flush();
    }
    return true;
  }
  LogRing* ring = current_.load(std::memory_order_acquire);
  if (!ring) ring = start();
  for (;;) {
    report_overruns();
    // Counted before the entry is ready, so the count never runs below the messages taken.
    const auto result = ring->put(record, [this] { waiting_.fetch_add(1); });
    if (result == LogRing::Put::Done) break;
    if (result == LogRing::Put::Full && !grow(ring)) {
      lost_.fetch_add(1);
      return false;
    }
    LogRing* next = current_.load(std::memory_order_acquire);
    if (next == ring) std::this_thread::yield();  // sealed by a grower that is about to publish
    ring = next;
  }
  wake();
  if (shutdown_.load()) flush();  // the log thread may have gone before this message was ready
  return true;
}

void LogBuffer::report_overruns() {
  if (lost_.load(std::memory_order_relaxed) == 0) return;
  const std::int64_t lost = lost_.exchange(0);
  if (lost == 0) return;
  if (!log(LogError, "devio::LogBuffer::report_overruns",
           "xLog overrun detected by reader, lost %d messages around this time", int(lost)))
    lost_.fetch_add(lost);
}

bool LogBuffer::grow(LogRing* ring) {
  if (current_.load(std::memory_order_acquire) != ring) return true;
  if (!ring->claimGrowth()) {  // another thread grows it: wait for the successor
    while (current_.load(std::memory_order_acquire) == ring && ring->growing()) std::this_thread::yield();
    return current_.load(std::memory_order_acquire) != ring;
  }
  // Three times the part that is a third used, twice the other, within the maximum sizes.
  const LogRing::Usage used = ring->usage();
  const bool entriesFull = ring->entriesThirdUsed(used), textFull = ring->textThirdUsed(used);
  const auto scale = [](std::uint32_t size, bool full, std::uint32_t max) {
    return std::uint32_t(std::max<std::uint64_t>(size, std::min<std::uint64_t>(max, std::uint64_t(size) * (full ? 3 : 2))));
  };
  const std::uint32_t entries = scale(ring->entryCount(), entriesFull, options_.maxEntries);
  const std::uint32_t text = scale(ring->textSize(), textFull, options_.maxText);
  const bool entriesGrow = entries > ring->entryCount(), textGrow = text > ring->textSize();
  if ((entriesFull && !entriesGrow) || (textFull && !textGrow) || (!entriesGrow && !textGrow)) {
    ring->abandonGrowth();
    return false;
  }
  LogRing* bigger = nullptr;
  try {
    bigger = new LogRing(entries, text);
  } catch (const std::bad_alloc&) {
    ring->abandonGrowth();
    log(LogError, kOutput, "xLog logbuffer update failed");
    return false;
  }
  ring->seal();
  ring->setNext(bigger);
  current_.store(bigger, std::memory_order_release);
  log(LogInfo, kOutput, "xLog enlarged buffer from %u/%u to %u/%u, currently using %u/%u", ring->entryCount(),
      ring->textSize(), bigger->entryCount(), bigger->textSize(), used.entries, used.text);
  return true;
}

LogBuffer::Step LogBuffer::output_from_oldest_buffer() {
  LogRing* current = current_.load(std::memory_order_acquire);
  if (!current) return Step::Empty;
  const LogRing::Usage used = current->usage();
  if (current->entriesThirdUsed(used) || current->textThirdUsed(used)) grow(current);
  while (oldest_ != current_.load(std::memory_order_acquire)) {
    const LogRing::Take taken = oldest_->take(sink_.get());
    if (taken == LogRing::Take::Output) waiting_.fetch_sub(1);
    if (taken != LogRing::Take::Empty) return taken == LogRing::Take::Output ? Step::Output : Step::Busy;
    // Sealed before its successor was published, and now drained: nobody touches it again. The
    // reader moves on before it logs: its own line may drain again (shutdown meanwhile), and
    // that drain must find the ring already gone, not release the next one, which writers use.
    LogRing* drained = std::exchange(oldest_, oldest_->next());
    drained->release();
    log(LogInfo, kOutput, "xLog deleting old log buffer containing %u/%u", drained->entryCount(),
        drained->textSize());
  }
  switch (oldest_->take(sink_.get())) {
    case LogRing::Take::Output:
      waiting_.fetch_sub(1);
      return Step::Output;
    case LogRing::Take::Busy:
      return Step::Busy;
    default:
      return Step::Empty;
  }
}

void LogBuffer::drain() {
  // Everything reserved up to now: the reader reaches the current ring's write position.
  LogRing* target = current_.load(std::memory_order_acquire);
  if (!target) return;
  const std::uint64_t end = target->writePosition();
  while (!(oldest_ == target && target->readPosition() == end)) {
    const Step step = output_from_oldest_buffer();
    if (step == Step::Empty) break;
    if (step == Step::Busy) std::this_thread::yield();
  }
}

void LogBuffer::flush() {
  if (tlsReading == this) {  // a line logged while this thread reads
    drain();
  } else {
    flushers_.fetch_add(1);
    {
      std::lock_guard lock(mutex_);
      const ReadingScope reading(this);
      drain();
      flushers_.fetch_sub(1);
    }
    cv_.notify_all();
  }
  if (sink_) sink_->flush();
}

void LogBuffer::wake() {
  if (tlsReading == this || !sleeping_.load()) return;
  // Taking the mutex orders this wake-up after the log thread's last look at the counters.
  { std::lock_guard lock(mutex_); }
  cv_.notify_all();
}

void LogBuffer::logthreadproc() {
  Host::lowerThreadPriority();
  {
    std::unique_lock lock(mutex_);
    const ReadingScope reading(this);
    for (;;) {
      if (flushers_.load() > 0) {
        cv_.wait(lock, [this] { return flushers_.load() == 0; });
        continue;
      }
      if (shutdown_.load() && waiting_.load() == 0) break;
      const Step step = output_from_oldest_buffer();
      if (step == Step::Output) continue;
      if (step == Step::Busy) {
        std::this_thread::yield();
        continue;
      }
      sleeping_.store(true);
      const bool woken = clock_->waitUntil(lock, cv_, clock_->now() + std::chrono::milliseconds(10000),
                                           [this] { return shutdown_.load() || waiting_.load() > 0 || flushers_.load() > 0; });
      sleeping_.store(false);
      if (!woken && sink_) sink_->flush();
    }
  }
  log(LogInfo, "devio::LogBuffer::logthreadproc", "log thread exiting");
}

bool LogBuffer::shutdown() {
  constexpr const char* fn = "devio::LogBuffer::shutdown";
  if (shutdown_.exchange(true)) {
    log(LogInfo, fn, "already shut down");
    return false;
  }
  log(LogInfo, fn, "_shutdown set to true");
  log(LogInfo, fn, "notifying logging thread of shutdown");
  if (tlsReading != this) {
    { std::lock_guard lock(mutex_); }
    cv_.notify_all();
  }
  std::lock_guard start(startMutex_);
  const bool joinable = thread_.joinable();
  if (joinable) {
    if (options_.aboutToJoin) options_.aboutToJoin();
    log(LogInfo, fn, "joining log thread");
  }
  flush();  // here rather than at the log thread's low priority (or without one)
  if (joinable) thread_.join();
  return true;
}

}  // namespace devio
