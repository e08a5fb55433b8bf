#include "devio/runtime/Logger.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "devio/runtime/Host.h"
#include "devio/runtime/LogFile.h"
#include "devio/runtime/LogLine.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "devio/runtime/XLog.h"
#include "devio/runtime/XLogPlatformSpecific.h"

namespace devio {

namespace {

constexpr const char* kStart = "devio::Logger::start";
constexpr std::size_t kMaxTemporaryPath = 289;

std::int64_t microseconds(Clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
}

// An assertion line that fails itself is not asserted again.
thread_local bool tlsAsserting = false;

}  // namespace

Logger::Environment Logger::hostEnvironment() {
  Environment environment{
      .store = SettingsStore(),
      .outputs = {.debugger = &Host::debuggerOutput,
                  .standard =
                      [](std::string_view line, bool flush) {
                        std::fwrite(line.data(), 1, line.size(), stdout);
                        if (flush) std::fflush(stdout);
                      }},
      .temporaryDirectory = Host::temporaryDirectory(),
      .separator = Host::pathSeparator(),
      .module = Host::moduleName(),
      .processId = Host::processId(),
      .clock = Clock::steady(),
      .systemTime = Host::systemTime(),
      .processCreation = Host::processCreationTime(),
      .localStart = Host::localTime(std::time(nullptr)),
      .buffer = {},
      .registerShutdown = &Vs2003SingletonThreadCleanup::add,
  };
  environment.buffer.aboutToJoin = &Vs2003SingletonThreadCleanup::about_to_join;
  return environment;
}

std::unique_ptr<Logger> Logger::start(const Environment& environment) {
  char notice[64];
  std::snprintf(notice, sizeof notice, "%s(%s)\n", kStart, "devio");
  environment.outputs.debugger(notice);
  const LogSettings settings = LogSettings::read(environment.store, environment.outputs.debugger);
  if (!settings.logging) return nullptr;

  // Counter timestamps become absolute times through the offset measured now.
  const LogFile::TimeBase timeBase{environment.systemTime / 10 - microseconds(environment.clock->now()),
                                   environment.processCreation};
  std::string directory;
  std::string path;
  std::shared_ptr<LogFile> file;
  const bool fileOutput = settings.output & LogSettings::FileOutput;
  if (fileOutput && !environment.temporaryDirectory.empty() &&
      environment.temporaryDirectory.size() <= kMaxTemporaryPath) {
    directory = environment.temporaryDirectory + "xlog_norvale" + environment.separator;
    if (Host::createDirectory(directory)) {
      char stamp[32];
      std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &environment.localStart);
      char name[256];
      std::snprintf(name, sizeof name, "xlog_%s_%u_%s_%s.dblog", stamp, environment.processId,
                    environment.module.c_str(), "devio");
      path = directory + name;
      file = LogFile::open(path, environment.processId, environment.module, timeBase);
    } else {
      directory.clear();
    }
  }

  auto logger = std::make_unique<Logger>(Parts{settings, environment.outputs, file, environment.clock,
                                               environment.buffer, environment.registerShutdown});
  if (fileOutput && directory.empty()) {
    logger->log("Untagged", LogError, kStart, "Could not get path for log files");
  } else if (fileOutput && !file) {
    logger->log("Untagged", LogError, kStart, "Could not create log file %s", path.c_str());
  }
  char when[128];
  if (std::strftime(when, sizeof when, "%c %Z", &environment.localStart) == 0) when[0] = '\0';
  logger->log("Untagged", LogInfo, kStart, "----------------------------------------");
  logger->log("Untagged", LogInfo, kStart, "%s", when);
  logger->log("Untagged", LogInfo, kStart, "namespace=%s logginglevel=%d loggingoutput=%d", "devio", settings.level,
              int(settings.output));
  if (!directory.empty()) XLogPlatformSpecific::purgeOldLogFiles(*logger, directory, environment.module);
  return logger;
}

Logger::Logger(Parts parts)
    : settings_(std::move(parts.settings)),
      outputs_(std::move(parts.outputs)),
      clock_(parts.clock),
      registerShutdown_(std::move(parts.registerShutdown)),
      tags_(settings_.tags, outputs_.debugger),
      buffer_(
          [&] {
            parts.buffer.threadStarted = [this] {
              if (registerShutdown_) registerShutdown_([this] { shutdown(); });
            };
            return std::move(parts.buffer);
          }(),
          std::move(parts.file), clock_,
          [this](int level, const char* function, const char* text) {
            return log("Untagged", level, function, "%s", text);
          }) {}

Logger::~Logger() {
  if (!buffer_.isShutdown()) shutdown();
}

bool Logger::log(const char* tag, int level, const char* function, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool result = logv(tag, level, function, format, args);
  va_end(args);
  return result;
}

bool Logger::logv(const char* tag, int level, const char* function, const char* format, va_list args) {
  if (!settings_.logging) return true;
  const std::int64_t timestamp = microseconds(clock_->now());
  const unsigned outputs = settings_.output;
  bool text = (outputs & (LogSettings::StandardOutput | LogSettings::DebuggerOutput)) && level <= settings_.level;
  const bool file = outputs & LogSettings::FileOutput;
  if (!text && !file) return true;

  LogLine::Buffer formatted;
  const int size = std::vsnprintf(formatted.data(), formatted.size(), format, args);
  if (size < 0) {
    assertFailed(__FILE__, __LINE__, "nBuf >= 0");
    return false;
  }
  // A longer message is reported and then logged cut to the limit.
  if (std::size_t(size) > LogLine::kMaxLine) assertFailed(__FILE__, __LINE__, "nBuf <= 1023");
  const std::string_view message(formatted.data(), std::min<std::size_t>(std::size_t(size), LogLine::kMaxLine));
  const std::string_view tagArgument = tag ? tag : "";
  const std::string_view functionName = function ? function : "";

  if (text) {
    const std::string_view dashTag = LogLine::dashTagOf(message);
    text = tags_.admits(dashTag.empty() ? tagArgument : dashTag, tagArgument);
  }
  if (file && !buffer_.put({timestamp, Host::threadId(), level, tagArgument, functionName, message})) return false;
  if (text) {
    LogLine::Buffer line;
    const std::string_view textLine = LogLine::parse(functionName, message).textLine(line, level);
    if (outputs & LogSettings::StandardOutput) outputs_.standard(textLine, buffer_.isShutdown());
    if (outputs & LogSettings::DebuggerOutput) outputs_.debugger(line.data());
  }
  return true;
}

void Logger::assertFailed(const char* file, int line, const char* expression) {
  if (tlsAsserting) return;
  tlsAsserting = true;
  log("Untagged", LogError, "devio::xAssert", "%s(%d): ASSERT FAILURE! Expression: %s\n", file, line, expression);
  tlsAsserting = false;
}

void Logger::flush() { buffer_.flush(); }

void Logger::shutdown() {
  if (!buffer_.shutdown()) return;
  constexpr const char* fn = "devio::LogBuffer::shutdown";
  log("Untagged", LogInfo, fn, "freeing tag info");
  tags_.disable();
  log("Untagged", LogInfo, fn, "logging is now direct to file, all tags enabled");
}

}  // namespace devio
