#pragma once

#include <cstdarg>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "devio/runtime/Clock.h"
#include "devio/runtime/LogBuffer.h"
#include "devio/runtime/LogSettings.h"
#include "devio/runtime/LogSink.h"
#include "devio/runtime/SettingsStore.h"
#include "devio/runtime/TagFilter.h"

namespace devio {

// The logging engine behind xLog: settings, text outputs with level and tag filter, and the
// file path through a LogBuffer. The process-wide one (XLog.cpp) is started from the host's
// settings store on the first xLog call; tests start their own from an Environment of
// temporary stores, directories, recorded outputs and a manual clock. Any thread.
class Logger {
 public:
  struct Outputs {
    std::function<void(const char* text)> debugger;
    // A text line; flush is true once the log buffer has shut down.
    std::function<void(std::string_view line, bool flush)> standard;
  };

  struct Parts {
    LogSettings settings;
    Outputs outputs;
    std::shared_ptr<LogSink> file;  // null: file lines are dropped
    std::shared_ptr<Clock> clock = Clock::steady();
    LogBuffer::Options buffer;
    // Registers the logger's shutdown for a cleanup guard, when the log thread starts.
    std::function<void(std::function<void()> shutdown)> registerShutdown;
  };

  // What the logging start reads and writes.
  struct Environment {
    SettingsStore store;
    Outputs outputs;
    std::string temporaryDirectory;  // with a trailing separator
    char separator;
    std::string module;
    unsigned processId;
    std::shared_ptr<Clock> clock;
    std::int64_t systemTime;       // now, 100-ns units since 1601-01-01 UTC
    std::int64_t processCreation;  // same units
    std::tm localStart;            // names the file and shows in the start lines
    LogBuffer::Options buffer;
    std::function<void(std::function<void()>)> registerShutdown;
  };
  // The host's: the current user's store, debugger and standard output, temporary directory,
  // steady clock, cleanup with Vs2003SingletonThreadCleanup.
  static Environment hostEnvironment();

  // The logging start: the start notice, the settings (with their notices), the time base, the
  // log directory and file, the start lines and the purge of old log files. Null when logging
  // is off.
  static std::unique_ptr<Logger> start(const Environment& environment);

  explicit Logger(Parts parts);
  // Shuts the buffer down unless that happened before.
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // xLog: false only when the message could not be put into the file buffer.
  bool log(const char* tag, int level, const char* function, const char* format, ...)
      __attribute__((format(printf, 5, 6)));
  bool logv(const char* tag, int level, const char* function, const char* format, va_list args)
      __attribute__((format(printf, 5, 0)));
  // xAssert's line: level 0, tag "Untagged", function "devio::xAssert".
  void assertFailed(const char* file, int line, const char* expression);
  // Writes every buffered file message and flushes the file.
  void flush();
  // LogBuffer::shutdown: the log thread ends; file messages are written at once and text
  // output is no longer filtered by tag.
  void shutdown();

 private:
  const LogSettings settings_;
  const Outputs outputs_;
  const std::shared_ptr<Clock> clock_;
  const std::function<void(std::function<void()>)> registerShutdown_;
  TagFilter tags_;
  LogBuffer buffer_;
};

}  // namespace devio
