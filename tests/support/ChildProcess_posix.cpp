#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tests/support/ChildProcess.h"

extern char** environ;

namespace testsupport {

struct ChildProcess::Host {
  pid_t pid;
  std::optional<int> exitCode;  // once reaped
};

namespace {

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& name, const std::vector<std::string>& args) {
  static const char kSelf[] = "/proc/self/exe";
  std::vector<std::string> words{kSelf, "--child", name};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (const int rc = posix_spawn(&pid, kSelf, nullptr, nullptr, argv.data(), environ); rc != 0) {
    std::fprintf(stderr, "posix_spawn failed: %s\n", std::strerror(rc));
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(std::make_unique<Host>(Host{pid, std::nullopt})));
}

ChildProcess::ChildProcess(std::unique_ptr<Host> host) : host_(std::move(host)) {}

ChildProcess::~ChildProcess() {
  if (host_->exitCode) return;
  ::kill(host_->pid, SIGKILL);
  int status;
  while (waitpid(host_->pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!host_->exitCode) {
    int status;
    const pid_t rc = waitpid(host_->pid, &status, WNOHANG);
    if (rc == host_->pid) {
      host_->exitCode = exitCodeOf(status);
    } else if ((rc < 0 && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return host_->exitCode;
}

bool ChildProcess::kill() { return !host_->exitCode && ::kill(host_->pid, SIGKILL) == 0; }

}  // namespace testsupport
