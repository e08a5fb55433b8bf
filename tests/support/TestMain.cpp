#include <gtest/gtest.h>

#include "tests/support/ChildMain.h"

int main(int argc, char** argv) {
  // A child process started by a test (ChildProcess) runs its entry point instead of the tests.
  if (const auto exitCode = testsupport::ChildMain::runIfRequested(argc, argv)) return *exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
