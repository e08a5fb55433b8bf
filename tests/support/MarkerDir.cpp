#include "tests/support/MarkerDir.h"

#include <fstream>
#include <random>
#include <system_error>
#include <utility>
#include <thread>

namespace testsupport {

MarkerDir::MarkerDir() : owned_(true) {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  do {
    path_ = base / ("kz-markers-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

MarkerDir::MarkerDir(std::filesystem::path existing) : path_(std::move(existing)), owned_(false) {}

MarkerDir::~MarkerDir() {
  std::error_code ignored;
  if (owned_) std::filesystem::remove_all(path_, ignored);
}

bool MarkerDir::signal(const std::string& marker) const {
  std::ofstream file(path_ / marker);
  return file.good();
}

bool MarkerDir::isSignalled(const std::string& marker) const {
  std::error_code ignored;
  return std::filesystem::exists(path_ / marker, ignored);
}

bool MarkerDir::waitFor(const std::string& marker, std::chrono::milliseconds bound) const {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!isSignalled(marker)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace testsupport
