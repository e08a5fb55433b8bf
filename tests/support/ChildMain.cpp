#include "tests/support/ChildMain.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

namespace testsupport {
namespace {

std::map<std::string, ChildMain::Function>& registry() {
  static std::map<std::string, ChildMain::Function> functions;
  return functions;
}

}  // namespace

ChildMain::ChildMain(const char* name, Function function) {
  if (!registry().emplace(name, function).second) {
    std::fprintf(stderr, "child main %s registered twice\n", name);
    std::abort();
  }
}

std::optional<int> ChildMain::runIfRequested(int argc, char** argv) {
  if (argc < 3 || std::string_view(argv[1]) != "--child") return std::nullopt;
  const auto found = registry().find(argv[2]);
  if (found == registry().end()) {
    std::fprintf(stderr, "no child main named %s\n", argv[2]);
    return 127;
  }
  return found->second(std::vector<std::string>(argv + 3, argv + argc));
}

}  // namespace testsupport
