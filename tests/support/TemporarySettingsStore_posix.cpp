#include "tests/support/TemporarySettingsStore.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace testsupport {

TemporarySettingsStore::TemporarySettingsStore() {
  std::random_device random;
  std::filesystem::path root;
  do {
    root = std::filesystem::temp_directory_path() / ("kz-settings-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(root));
  root_ = root.string();
}

TemporarySettingsStore::~TemporarySettingsStore() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace testsupport
