#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace devio {

// Whole files named by UTF-8 paths: the library's cache files.
class TextFile {
 public:
  static std::filesystem::path fsPath(const std::string& utf8);
  // Empty when the file cannot be opened.
  static std::optional<std::string> read(const std::string& file);
  // Writes a temporary file beside it and renames it over the file, so a crash or a full disk
  // never leaves half a file behind; a failed write leaves the old file and no temporary.
  static bool replace(const std::string& file, const std::string& text);
};

}  // namespace devio
