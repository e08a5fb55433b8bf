#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Entry points that a test program runs in a child process of its own (see ChildProcess).
//
//   KZ_CHILD_MAIN(holdLock) {           // args: what the parent passed after the name
//     devio::NamedMutex mutex(args.at(0), true);
//     return MarkerDir(args.at(1)).signal("held") ? 0 : 1;
//   }
//
// The parent starts it with ChildProcess::start("holdLock", {name, dir}). The child runs
// before GoogleTest starts, so it reports through its exit code (and marker files), never
// through test assertions. Names are C++ identifiers, unique within one test program.
class ChildMain {
 public:
  using Function = int (*)(const std::vector<std::string>& args);

  // Registers function under name (done by KZ_CHILD_MAIN during static initialisation).
  ChildMain(const char* name, Function function);

  // For main(): when argv is `program --child NAME args...`, runs NAME with args and answers its
  // exit code (127 for an unknown name); otherwise empty, and main() goes on with the tests.
  static std::optional<int> runIfRequested(int argc, char** argv);
};

}  // namespace testsupport

#define KZ_CHILD_MAIN(name)                                                                 \
  static int kzChildMain_##name(const std::vector<std::string>& args);                      \
  static const ::testsupport::ChildMain kzChildMainRegistration_##name(#name, &kzChildMain_##name); \
  static int kzChildMain_##name([[maybe_unused]] const std::vector<std::string>& args)
