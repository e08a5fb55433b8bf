#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "tests/support/ChildMain.h"

namespace {

// A death test's child runs main again with this flag; it checks how a process without guard
// ends, so it gets none.
bool isDeathTestChild(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A child process started by a test (ChildProcess) runs its entry point instead of the tests.
  if (const auto exitCode = testsupport::ChildMain::runIfRequested(argc, argv)) return *exitCode;
  // Without a guard a process that still holds the device manager at exit ends with code 0,
  // which would hide failed tests.
  std::optional<devio::Vs2003SingletonThreadCleanup> guard;
  if (!isDeathTestChild(argc, argv)) guard.emplace();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
