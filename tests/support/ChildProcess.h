#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Another run of the current test program, started as `program --child NAME args...` so that
// it runs the entry point registered with KZ_CHILD_MAIN(NAME) (ChildMain.h) instead of the
// tests. For behaviour across processes: locks shared with another process, a process that is
// killed or exits while holding something. Parent and child synchronise through marker files
// (MarkerDir.h): pass the directory as an argument. Used from one thread.
//
//   MarkerDir markers;
//   auto child = ChildProcess::start("holdLock", {"lock-name", markers.path().string()});
//   ASSERT_TRUE(child && markers.waitFor("held"));
//   ASSERT_TRUE(child->kill());
//   EXPECT_EQ(child->wait(), ChildProcess::kKilledExitCode);
//
// Linux: posix_spawn of /proc/self/exe. Windows: CreateProcessW of this module's file.
class ChildProcess {
 public:
  // The exit code wait() reports for a child ended by kill() on every host.
  static constexpr int kKilledExitCode = 137;
  // Long enough for a loaded machine (or Wine) to start and end a process; only a hung child
  // ever uses it up.
  static constexpr std::chrono::milliseconds kDefaultWait{60000};

  // Starts the child; empty (and the reason on stderr) when the host refuses.
  static std::unique_ptr<ChildProcess> start(const std::string& name, const std::vector<std::string>& args = {});
  // Kills and reaps a child that is still running, so no test leaves one behind.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits up to bound for the child to end and answers its exit code (a child ended by a signal
  // other than kill()'s: 128 + the signal number); empty if it is still running.
  std::optional<int> wait(std::chrono::milliseconds bound = kDefaultWait);
  // Ends the child at once, wherever it is (SIGKILL, TerminateProcess); false once wait() has
  // seen it end.
  bool kill();

 private:
  struct Host;
  explicit ChildProcess(std::unique_ptr<Host> host);
  std::unique_ptr<Host> host_;
};

}  // namespace testsupport
