#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// A fresh directory under the temporary directory, removed with everything in it on
// destruction.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path with a trailing separator, as the library's directory strings carry it.
  std::string withSeparator() const;

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
