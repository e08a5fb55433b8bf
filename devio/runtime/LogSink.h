#pragma once

#include <cstdint>
#include <string_view>

namespace devio {

// One message on its way to the log file; the views live as long as the call.
struct LogRecord {
  std::int64_t timestamp;  // microseconds of the high-resolution counter
  unsigned threadId;
  int level;
  std::string_view tag;
  std::string_view function;
  std::string_view message;
};

// Where the log buffer's messages go: the log file, or a test's recorder. Called by the log
// thread, by a thread that flushes, and after shutdown by any writer; implementations serialise.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void write(const LogRecord& record) = 0;
  virtual void flush() = 0;
};

}  // namespace devio
