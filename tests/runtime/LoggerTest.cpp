#include "devio/runtime/Logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "devio/runtime/Host.h"
#include "devio/runtime/XLog.h"
#include "sim/ManualClock.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/TemporarySettingsStore.h"

namespace devio {
namespace {

using testing::Contains;
using testing::HasSubstr;
using testing::Not;

const std::string kKey = "SOFTWARE\\Norvale\\devio";
constexpr std::int64_t kNow = 133600000000000000LL;  // file time of the start
constexpr unsigned kProcessId = 4321;

class LoggerTest : public testing::Test {
 protected:
  LoggerTest() {
    start_.tm_year = 124;  // 2024-05-06 07:08:09
    start_.tm_mon = 4;
    start_.tm_mday = 6;
    start_.tm_hour = 7;
    start_.tm_min = 8;
    start_.tm_sec = 9;
    start_.tm_isdst = -1;
  }

  Logger::Environment environment() {
    return {
        .store = temporary_.store(),
        .outputs = {.debugger = [this](const char* text) { record(debugger_, text); },
                    .standard = [this](std::string_view line, bool) { record(stdout_, line); }},
        .temporaryDirectory = directory_.withSeparator(),
        .separator = Host::pathSeparator(),
        .module = "tester",
        .processId = kProcessId,
        .clock = clock_,
        .systemTime = kNow,
        .processCreation = kNow - 25000000,  // 2.5 s before
        .localStart = start_,
        .buffer = {},
        .registerShutdown = {},
    };
  }

  // Starts a logger with these values under the key (none: no key at all).
  std::unique_ptr<Logger> start(std::initializer_list<std::pair<const char*, std::uint32_t>> numbers,
                                const char* tags = nullptr) {
    for (const auto& [name, value] : numbers) store_.writeNumber(kKey, name, value);
    if (tags) store_.writeString(kKey, "LogTags", tags);
    return Logger::start(environment());
  }

  std::filesystem::path logDirectory() const { return directory_.path() / "xlog_norvale"; }
  std::filesystem::path logFile() const { return logDirectory() / "xlog_20240506_070809_4321_tester_devio.dblog"; }

  std::vector<std::string> fileLines(Logger& logger) const {
    logger.flush();
    std::vector<std::string> lines;
    std::ifstream in(logFile());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The text lines of one output with this level name.
  static std::vector<std::string> withLevel(const std::vector<std::string>& lines, const std::string& level) {
    std::vector<std::string> result;
    for (const auto& line : lines)
      if (line.starts_with(level + " - ")) result.push_back(line);
    return result;
  }

  std::vector<std::string> debugger() {
    std::lock_guard lock(mutex_);
    return debugger_;
  }
  std::vector<std::string> standardOutput() {
    std::lock_guard lock(mutex_);
    return stdout_;
  }

  // Logs one message per level, 0 to 4, with the tag "Device".
  static void logEachLevel(Logger& logger) {
    for (int level = 0; level <= 4; ++level) logger.log("Device", level, "devio::Device::run", "level %d", level);
  }

  testsupport::TemporarySettingsStore temporary_;
  const SettingsStore store_ = temporary_.store();
  testsupport::TemporaryDirectory directory_;
  const std::shared_ptr<sim::ManualClock> clock_ = std::make_shared<sim::ManualClock>();
  std::tm start_{};

 private:
  void record(std::vector<std::string>& lines, std::string_view text) {
    std::lock_guard lock(mutex_);
    lines.emplace_back(text);
  }

  std::mutex mutex_;
  std::vector<std::string> debugger_;
  std::vector<std::string> stdout_;
};

MATCHER_P(EndsWith, suffix, "") { return std::string_view(arg).ends_with(suffix); }

TEST_F(LoggerTest, WithoutTheKeyOnlyTheStartNoticesAreWritten) {
  EXPECT_EQ(start({}), nullptr);
  EXPECT_EQ(debugger(), (std::vector<std::string>{"devio::Logger::start(devio)\n",
                                                  "Couldn't read SOFTWARE\\Norvale\\devio registry key. Error code = 2\n"}));
  EXPECT_TRUE(standardOutput().empty());
  EXPECT_FALSE(std::filesystem::exists(logDirectory()));
}

TEST_F(LoggerTest, LoggingAloneSendsUpToDebugToTheDebuggerAndEverythingToTheFile) {
  auto logger = start({{"logging", 1}});
  ASSERT_NE(logger, nullptr);
  logEachLevel(*logger);
  EXPECT_EQ(withLevel(debugger(), "ERROR"), std::vector<std::string>{"ERROR - Device::run level 0\n"});
  EXPECT_EQ(withLevel(debugger(), "DEBUG"), std::vector<std::string>{"DEBUG - Device::run level 3\n"});
  EXPECT_TRUE(withLevel(debugger(), "VERBOSE").empty());
  EXPECT_TRUE(standardOutput().empty());
  const auto lines = fileLines(*logger);
  for (int level = 0; level <= 4; ++level)
    EXPECT_THAT(lines, Contains(EndsWith("\tDevice::run level " + std::to_string(level))));
}

TEST_F(LoggerTest, LevelOneLimitsTheTextOutputsNotTheFile) {
  auto logger = start({{"logging", 1}, {"logginglevel", 1}, {"loggingoutput", 7}});
  logEachLevel(*logger);
  EXPECT_EQ(standardOutput(), (std::vector<std::string>{"ERROR - Device::run level 0\n", "WARNING - Device::run level 1\n"}));
  EXPECT_EQ(withLevel(debugger(), "WARNING"), std::vector<std::string>{"WARNING - Device::run level 1\n"});
  EXPECT_THAT(fileLines(*logger), Contains(EndsWith("\tDevice::run level 4")));
}

TEST_F(LoggerTest, TagSpecsShowOnlyDeviceManagerInTheTextOutputs) {
  auto logger = start({{"logging", 1}, {"loggingoutput", 7}}, "-* +DeviceManager");
  logger->log("DeviceManager", 2, "devio::DeviceManager::addBus", "DeviceManager::addBus enter");
  logger->log("Device", 2, "devio::Device::initDevice", "enter");
  logger->log("DeviceManager", 2, "devio::DeviceManager::devices", "-api- enter");
  EXPECT_EQ(standardOutput(), (std::vector<std::string>{"INFO - DeviceManager::addBus enter\n",
                                                        "INFO - DeviceManager::devices -api- enter\n"}));
  const auto lines = fileLines(*logger);
  EXPECT_THAT(lines, Contains(EndsWith("\t-Device-            \tDevice::initDevice enter")));
  EXPECT_THAT(lines, Contains(EndsWith("\t-DeviceManager-     \tDeviceManager::addBus enter")));
}

TEST_F(LoggerTest, ApiLinesAndTheStartLines) {
  auto logger = start({{"logging", 1}, {"loggingoutput", 7}});
  logger->log("DeviceManager", 2, "devio::DeviceManager::devices", "-api- enter");
  EXPECT_EQ(standardOutput().back(), "INFO - DeviceManager::devices -api- enter\n");

  char when[128];
  std::strftime(when, sizeof when, "%c %Z", &start_);
  const std::string prefix = "2.500000\t" + std::to_string(kNow) + "\t4321\t<" +
                             std::string(5 - std::min<std::size_t>(5, std::to_string(Host::threadId()).size()), '0') +
                             std::to_string(Host::threadId()) + ">.devio.tester\t2\t";
  const std::string untagged = "-Untagged-" + std::string(10, ' ') + "\t";
  std::string keeping = prefix + untagged + "XLogPlatformSpecific::purgeOldLogFiles Keeping 0 day old log file " +
                        logFile().string();
  keeping[prefix.size() - 2] = '4';  // the level column
  EXPECT_EQ(fileLines(*logger),
            (std::vector<std::string>{prefix + untagged + "Logger::start " + std::string(40, '-'),
                                      prefix + untagged + "Logger::start " + when,
                                      prefix + untagged + "Logger::start namespace=devio logginglevel=3 loggingoutput=7",
                                      keeping,
                                      prefix + "-api-" + std::string(15, ' ') + "\tDeviceManager::devices enter"}));
}

TEST_F(LoggerTest, EachLineOfAMessageIsAFileLine) {
  auto logger = start({{"logging", 1}});
  clock_->advanceMs(1500);
  logger->log("Device", 3, "devio::Device::dump", "first line\nsecond line\n");
  const auto lines = fileLines(*logger);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_THAT(lines[lines.size() - 2], testing::StartsWith("4.000000\t"));
  EXPECT_THAT(lines[lines.size() - 2], EndsWith("\t-Device-            \tDevice::dump first line"));
  EXPECT_THAT(lines.back(), EndsWith("\t-Device-            \t> second line"));
}

TEST_F(LoggerTest, OverlongMessageIsAssertedThenWrittenCut) {
  auto logger = start({{"logging", 1}, {"loggingoutput", 7}});
  const std::string message(1500, 'x');
  EXPECT_TRUE(logger->log("Device", 1, "devio::Device::dump", "%s", message.c_str()));
  const auto text = withLevel(standardOutput(), "WARNING");
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].size(), 1023u);
  EXPECT_EQ(text[0].back(), '\n');
  EXPECT_THAT(standardOutput(), Contains(EndsWith(": ASSERT FAILURE! Expression: nBuf <= 1023\n")));
  const auto lines = fileLines(*logger);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_THAT(lines[lines.size() - 2], EndsWith("ASSERT FAILURE! Expression: nBuf <= 1023"));
  EXPECT_THAT(lines[lines.size() - 2], HasSubstr("\t0\t-Untagged-          \txAssert "));
  EXPECT_THAT(lines.back(), HasSubstr("Device::dump xxxxxxxx"));
  EXPECT_EQ(lines.back().size(), 1022u);  // 1023 with its line break
}

TEST_F(LoggerTest, AfterShutdownFileLinesAreWrittenAtOnceAndTagsAreNotFiltered) {
  auto logger = start({{"logging", 1}, {"loggingoutput", 7}}, "-*");
  logger->log("Device", 2, "devio::Device::run", "hidden");
  EXPECT_TRUE(withLevel(standardOutput(), "INFO").empty());
  logger->shutdown();
  logger->log("Device", 2, "devio::Device::run", "shown");
  EXPECT_THAT(standardOutput(), Contains("INFO - Device::run shown\n"));

  std::vector<std::string> lines;
  std::ifstream in(logFile());  // no flush: written at once
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_THAT(lines, Contains(EndsWith("\tDevice::run hidden")));
  EXPECT_THAT(lines, Contains(EndsWith("\tLogBuffer::shutdown freeing tag info")));
  EXPECT_THAT(lines, Contains(EndsWith("\tLogBuffer::shutdown logging is now direct to file, all tags enabled")));
  EXPECT_THAT(lines.back(), EndsWith("\tDevice::run shown"));
}

TEST_F(LoggerTest, OldLogFilesArePurgedAtStart) {
  std::filesystem::create_directories(logDirectory());
  const auto now = std::filesystem::file_time_type::clock::now();
  const std::array<std::pair<std::string, int>, 5> files{{{"xlog_a_1_tester_devio.dblog", 10},
                                                          {"xlog_b_2_tester_devio.dblog", 7},
                                                          {"xlog_c_3_tester_devio.dblog", 6},
                                                          {"xlog_d_4_other_devio.dblog", 30},
                                                          {"notes.txt", 30}}};
  for (const auto& [name, days] : files) {
    std::ofstream(logDirectory() / name) << "old\n";
    std::filesystem::last_write_time(logDirectory() / name, now - std::chrono::hours(24 * days));
  }
  auto logger = start({{"logging", 1}});
  EXPECT_FALSE(std::filesystem::exists(logDirectory() / files[0].first));
  EXPECT_FALSE(std::filesystem::exists(logDirectory() / files[1].first));
  EXPECT_TRUE(std::filesystem::exists(logDirectory() / files[2].first));
  EXPECT_TRUE(std::filesystem::exists(logDirectory() / files[3].first));
  EXPECT_TRUE(std::filesystem::exists(logDirectory() / files[4].first));
  const std::string dir = directory_.withSeparator() + "xlog_norvale" + Host::pathSeparator();
  const auto lines = fileLines(*logger);
  const std::string fn = "\tXLogPlatformSpecific::purgeOldLogFiles ";
  EXPECT_THAT(lines, Contains(EndsWith(fn + "Purging 10 day old log file " + dir + files[0].first)));
  EXPECT_THAT(lines, Contains(EndsWith(fn + "Purging 7 day old log file " + dir + files[1].first)));
  EXPECT_THAT(lines, Contains(EndsWith(fn + "Keeping 6 day old log file " + dir + files[2].first)));
  EXPECT_THAT(lines, Contains(EndsWith(fn + "Keeping 0 day old log file " + logFile().string())));
  EXPECT_THAT(lines, Not(Contains(HasSubstr("other_devio"))));
}

TEST_F(LoggerTest, OverrunIsReportedInTheFile) {
  Logger::Environment small = environment();
  store_.writeNumber(kKey, "logging", 1);
  small.buffer.entries = small.buffer.maxEntries = 16;
  small.buffer.thread = false;
  auto logger = Logger::start(small);
  int lost = 0;
  for (int i = 0; i < 20; ++i) lost += logger->log("Device", 2, "devio::Device::run", "message %d", i) ? 0 : 1;
  EXPECT_GT(lost, 0);
  logger->flush();
  logger->log("Device", 2, "devio::Device::run", "after");
  const auto lines = fileLines(*logger);
  // The count includes the overrun lines that were lost themselves while the ring was full.
  EXPECT_THAT(lines, Contains(HasSubstr("\t0\t-Untagged-          \tLogBuffer::report_overruns xLog overrun detected by "
                                        "reader, lost ")));
  EXPECT_THAT(lines.back(), EndsWith("\tDevice::run after"));
}

TEST_F(LoggerTest, MissingLogDirectoryIsReported) {
  std::ofstream(directory_.path() / "xlog_norvale") << "a file in the way";
  auto logger = start({{"logging", 1}});
  EXPECT_THAT(debugger(), Contains("ERROR - Logger::start Could not get path for log files\n"));
}

// THE burst: every message of four busy threads reaches the file, each thread's in order.
TEST_F(LoggerTest, BurstFromFourThreadsArrivesCompleteAndInOrder) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr int kMessages = 100000;  // the sanitizers slow every step down
#else
  constexpr int kMessages = 1000000;
#endif
  constexpr int kThreads = 4;
  auto logger = start({{"logging", 1}, {"loggingoutput", 4}});
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&logger, t] {
      for (int i = t; i < kMessages; i += kThreads) logger->log("Burst", 3, "devio::Burst::run", "%d %d", t, i);
    });
  }
  for (auto& thread : threads) thread.join();
  logger->flush();

  std::array<int, kThreads> next{0, 1, 2, 3};
  int count = 0;
  std::ifstream in(logFile());
  const std::string marker = "\tBurst::run ";
  for (std::string line; std::getline(in, line);) {
    const auto at = line.find(marker);
    if (at == std::string::npos) continue;
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str() + at + marker.size(), "%d %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    ASSERT_EQ(i, next[std::size_t(t)]) << line;
    next[std::size_t(t)] += kThreads;
    ++count;
  }
  EXPECT_EQ(count, kMessages);
  EXPECT_THAT(fileLines(*logger), Not(Contains(HasSubstr("overrun"))));
}

}  // namespace
}  // namespace devio
