#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace testsupport {

// A directory of marker files through which threads or processes (ChildProcess) tell each
// other that they reached a point: one side signal()s a marker by creating its file, the other
// waitFor()s it. Works the same on every host and under Wine.
class MarkerDir {
 public:
  // Bound of waitFor(): only a peer that never gets there uses it up.
  static constexpr std::chrono::milliseconds kDefaultWait{60000};

  // Creates a fresh directory under the temporary directory and removes it on destruction.
  MarkerDir();
  // Uses the directory another process created (the child's side); leaves it in place.
  explicit MarkerDir(std::filesystem::path existing);
  ~MarkerDir();
  MarkerDir(const MarkerDir&) = delete;
  MarkerDir& operator=(const MarkerDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  bool signal(const std::string& marker) const;
  bool isSignalled(const std::string& marker) const;
  // True once the marker exists; false after bound.
  bool waitFor(const std::string& marker, std::chrono::milliseconds bound = kDefaultWait) const;

 private:
  std::filesystem::path path_;
  bool owned_;
};

}  // namespace testsupport
