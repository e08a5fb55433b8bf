#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "devio/runtime/LogSink.h"

namespace devio {

// The log file of one process run, open for appending in text mode for the process's life.
// Writes the file lines of each message (LogLine) under its own lock.
class LogFile final : public LogSink {
 public:
  // Turns counter timestamps into absolute times.
  struct TimeBase {
    std::int64_t counterOffset;  // microseconds from the counter's zero to 1601-01-01 UTC
    std::int64_t processCreation;  // file time (100-ns units since 1601-01-01 UTC)
  };

  // Null when the file cannot be opened.
  static std::shared_ptr<LogFile> open(const std::string& path, unsigned processId, std::string module,
                                       TimeBase timeBase);
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void write(const LogRecord& record) override;
  void flush() override;

 private:
  LogFile(std::FILE* file, unsigned processId, std::string module, TimeBase timeBase);

  std::mutex mutex_;
  std::FILE* const file_;
  const unsigned processId_;
  const std::string module_;
  const TimeBase timeBase_;
};

}  // namespace devio
