#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "devio/runtime/Clock.h"
#include "devio/runtime/LogRing.h"
#include "devio/runtime/LogSink.h"

namespace devio {

// The file path of the log: writers on any thread put messages into the current ring without a
// lock and without waiting for the log thread; the log thread (lowest priority) writes them to
// the sink in order. The first message creates the first ring and starts the thread.
//
// Growth: when a third of the current ring is in use the log thread replaces it by one two or
// three times larger (writers switch at once; the old ring is drained, then freed). A writer
// that finds the ring full grows it the same way itself rather than lose its message, up to
// the maximum sizes; only beyond them (or without memory) is the message lost, counted, and
// reported by the next writer with the overrun line.
//
// Reading (the log thread, flush(), shutdown()) is done by one thread at a time under the
// buffer's mutex; the log thread yields it to a flushing thread between two messages.
class LogBuffer {
 public:
  struct Options {
    std::uint32_t entries = 30000;
    std::uint32_t text = 3000000;
    std::uint32_t maxEntries = 1U << 24;  // growth stops here
    std::uint32_t maxText = 1U << 29;
    bool thread = true;                    // false: only flush() and shutdown() drain (tests)
    std::function<void()> threadStarted;  // after the log thread has started
    std::function<void()> aboutToJoin;    // by shutdown(), before it joins the log thread
  };
  // How the buffer logs about itself (tag "Untagged"); false when the line was lost.
  using SelfLog = std::function<bool(int level, const char* function, const char* text)>;

  LogBuffer(Options options, std::shared_ptr<LogSink> sink, std::shared_ptr<Clock> clock, SelfLog selfLog);
  // Stops the log thread (without logging); shutdown() is the orderly way.
  ~LogBuffer();
  LogBuffer(const LogBuffer&) = delete;
  LogBuffer& operator=(const LogBuffer&) = delete;

  // Any thread. False when the message was lost. After shutdown the message is written to the
  // sink at once.
  bool put(const LogRecord& record);

  // Any thread: writes every message put before the call to the sink, then flushes the sink.
  void flush();

  // Ends the log thread after it has written everything; from then on put() writes directly.
  // False (and "already shut down" logged) when it was shut down before.
  bool shutdown();
  bool isShutdown() const { return shutdown_.load(std::memory_order_acquire); }

 private:
  enum class Step { Output, Busy, Empty };

  LogRing* start();
  void logthreadproc();
  // One message from the oldest ring that has one; grows the current ring first when needed.
  Step output_from_oldest_buffer();
  // Replaces ring (if still current) by a larger one; false when it cannot grow.
  bool grow(LogRing* ring);
  void report_overruns();
  void drain();
  void wake();
  bool log(int level, const char* function, const char* format, ...) __attribute__((format(printf, 4, 5)));

  const Options options_;
  const std::shared_ptr<LogSink> sink_;
  const std::shared_ptr<Clock> clock_;
  const SelfLog selfLog_;

  std::atomic<LogRing*> current_{nullptr};
  LogRing* first_ = nullptr;   // every ring ever made, chained by next(); deleted with the buffer
  LogRing* oldest_ = nullptr;  // reader: the oldest ring not yet released
  std::atomic<std::int64_t> waiting_{0};
  std::atomic<std::int64_t> lost_{0};
  std::atomic<bool> shutdown_{false};

  std::mutex startMutex_;  // guards starting and joining the thread
  std::thread thread_;
  std::mutex mutex_;  // the reader's; held by the log thread except while it waits
  std::condition_variable cv_;
  std::atomic<bool> sleeping_{false};  // the log thread waits for messages
  std::atomic<int> flushers_{0};       // threads waiting to read
};

}  // namespace devio
