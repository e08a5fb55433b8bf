// The process-wide xLog across a whole process run: settings from the user's store, the file
// in the temporary directory, and the end of the process with and without a cleanup guard.
// POSIX only: the child finds a store and a temporary directory of the test through the
// environment it inherits (XDG_CONFIG_HOME, TMPDIR); on Windows those are the real user's.
#include "devio/runtime/XLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "devio/runtime/SettingsStore.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "tests/support/ChildMain.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TemporaryDirectory.h"

namespace devio {
namespace {

constexpr int kThreads = 4;
constexpr int kMessages = 10000;  // per thread

// Logs from four threads and returns 3; args[0] "guard" puts a cleanup guard around it.
KZ_CHILD_MAIN(xLogThreadsThenExit) {
  std::optional<Vs2003SingletonThreadCleanup> guard;
  if (args.at(0) == "guard") guard.emplace();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kMessages; ++i) xLog("Child", LogDebug, "devio::Child::run", "%d %d", t, i);
    });
  }
  for (auto& thread : threads) thread.join();
  return 3;
}

// Sets an environment variable for the scope (the child inherits it).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class XLogProcessTest : public testing::TestWithParam<bool> {
 protected:
  // Runs the child with file logging on and answers its exit code and its log file's lines.
  std::pair<int, std::vector<std::string>> runChild(bool guard) {
    const SettingsStore store((directory_.path() / "config" / "norvale" / "registry").string());
    store.writeNumber("SOFTWARE\\Norvale\\devio", "logging", 1);
    store.writeNumber("SOFTWARE\\Norvale\\devio", "loggingoutput", 4);
    const ScopedVariable config("XDG_CONFIG_HOME", (directory_.path() / "config").string());
    const ScopedVariable temporary("TMPDIR", directory_.path().string());
    auto child = testsupport::ChildProcess::start("xLogThreadsThenExit", {guard ? "guard" : "none"});
    if (!child) return {-1, {}};
    const int exitCode = child->wait().value_or(-1);
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(directory_.path() / "xlog_norvale")) {
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    return {exitCode, lines};
  }

  testsupport::TemporaryDirectory directory_;
};

TEST_P(XLogProcessTest, EveryMessageReachesTheFileBeforeTheProcessEnds) {
  const bool guard = GetParam();
  const auto [exitCode, lines] = runChild(guard);
  // The child holds no device manager: the log thread is joined and the exit status is its own,
  // with or without a guard.
  EXPECT_EQ(exitCode, 3);

  std::vector<int> next(kThreads, 0);
  int count = 0;
  const std::string marker = "\tChild::run ";
  for (const auto& line : lines) {
    const auto at = line.find(marker);
    if (at == std::string::npos) continue;
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str() + at + marker.size(), "%d %d", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    ASSERT_EQ(i, next[std::size_t(t)]++) << line;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kMessages);

  using testing::Contains;
  using testing::HasSubstr;
  const auto aboutToJoin = Contains(HasSubstr("\tVs2003SingletonThreadCleanup::about_to_join joinable threads after main exited"));
  EXPECT_THAT(lines, Contains(HasSubstr("\tLogBuffer::shutdown joining log thread")));
  EXPECT_THAT(lines, testing::Not(aboutToJoin));
}

INSTANTIATE_TEST_SUITE_P(XLog, XLogProcessTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "WithGuard" : "WithoutGuard"; });

}  // namespace
}  // namespace devio
