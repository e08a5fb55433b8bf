#include "devio/runtime/XLog.h"

#include <atomic>
#include <cstdarg>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Logger.h"

namespace devio {

namespace {

enum State : int { Unstarted, Off, On };
std::atomic<int> gState{Unstarted};

// Shuts the log buffer down when the process's static objects are destroyed.
struct ShutdownAtExit {
  Logger* logger;
  ~ShutdownAtExit() { logger->shutdown(); }
};

// The process's logger, started by the first call; null when logging is off. Never destroyed:
// static destructors that run later still log (directly to the file by then).
Logger* processLogger() {
  static Logger* const logger = [] {
    // The start reads the settings store, which leaves its failures in LastError: keep the
    // caller's, which may be about to be read.
    const LastError callerError = LastError::get();
    Logger* started = Logger::start(Logger::hostEnvironment()).release();
    LastError::set(callerError);
    gState.store(started ? On : Off, std::memory_order_release);
    return started;
  }();
  if (logger) {
    static const ShutdownAtExit atExit{logger};
  }
  return logger;
}

}  // namespace

bool xLog(const char* tag, int level, const char* function, const char* format, ...) {
  if (gState.load(std::memory_order_relaxed) == Off) return true;
  Logger* logger = processLogger();
  if (!logger) return true;
  va_list args;
  va_start(args, format);
  const bool result = logger->logv(tag, level, function, format, args);
  va_end(args);
  return result;
}

void xLogFlush() {
  if (gState.load(std::memory_order_acquire) == On) processLogger()->flush();
}

void xAssertFailed(const char* file, int line, const char* expression) {
  if (gState.load(std::memory_order_relaxed) == Off) return;
  if (Logger* logger = processLogger()) logger->assertFailed(file, line, expression);
}

}  // namespace devio
