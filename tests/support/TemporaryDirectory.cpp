#include "tests/support/TemporaryDirectory.h"

#include <random>
#include <system_error>

namespace testsupport {

TemporaryDirectory::TemporaryDirectory() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  do {
    path_ = base / ("kz-temp-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TemporaryDirectory::withSeparator() const {
  return (path_ / "").string();
}

}  // namespace testsupport
