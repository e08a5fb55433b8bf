#include "devio/runtime/TextFile.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace devio {

std::filesystem::path TextFile::fsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::optional<std::string> TextFile::read(const std::string& file) {
  std::ifstream in(fsPath(file), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TextFile::replace(const std::string& file, const std::string& text) {
  const std::filesystem::path target = fsPath(file);
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    written = (out << text) && out.flush();
  }
  std::error_code error;
  if (written) {
    std::filesystem::rename(temporary, target, error);
    if (!error) return true;
  }
  std::filesystem::remove(temporary, error);
  return false;
}

}  // namespace devio
