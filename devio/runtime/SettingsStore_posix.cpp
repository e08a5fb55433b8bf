#include "devio/runtime/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

// Layout under the root: one directory per key component (ASCII-lowercased, with '%', '/',
// control characters and a leading '.' escaped as %XX), so a key is a directory tree. A key's
// values sit in its ".values" file, one per line: type ('n', 's' or 'b'), a tab, the escaped
// name, a tab, the data (decimal, escaped text, hexadecimal). Writers hold an exclusive lock on
// "<root>/.lock" and replace ".values" by renaming a completed ".values.tmp" over it, so readers
// never see a partial file and concurrent writers lose no update.

namespace devio {

namespace fs = std::filesystem;

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

char fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return fold(x) == fold(y); });
}

bool needsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%' || c == '/'; }

std::string escape(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    if (needsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes %XX sequences; false on a malformed one.
bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = hexDigit(text[i + 1]), lo = hexDigit(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += char(hi << 4 | lo);
    i += 2;
  }
  return true;
}

fs::path keyDirectory(const std::string& root, const std::string& key) {
  fs::path dir(root);
  std::string_view rest(key);
  while (!rest.empty()) {
    const auto cut = std::min(rest.find('\\'), rest.size());
    const std::string_view part = rest.substr(0, cut);
    rest.remove_prefix(std::min(cut + 1, rest.size()));
    if (part.empty()) continue;
    std::string folded(part);
    std::ranges::transform(folded, folded.begin(), fold);
    std::string name = escape(folded);
    if (name[0] == '.') name.replace(0, 1, "%2E");  // no "." or "..", no clash with the store's own files
    dir /= name;
  }
  return dir;
}

struct Line {
  char type;
  std::string name;
  Bytes data;
};

// Parses a values file; lines that do not parse are skipped.
std::vector<Line> parseValues(std::istream& in) {
  std::vector<Line> lines;
  std::string text;
  while (std::getline(in, text)) {
    const auto tab1 = text.find('\t');
    const auto tab2 = tab1 == std::string::npos ? tab1 : text.find('\t', tab1 + 1);
    if (tab1 != 1 || tab2 == std::string::npos) continue;
    Line line{text[0], {}, {}};
    const std::string_view field = std::string_view(text).substr(tab2 + 1);
    std::string decoded;
    if (!unescape(std::string_view(text).substr(2, tab2 - 2), line.name)) continue;
    if (line.type == 'n') {
      std::uint32_t value = 0;
      std::istringstream number{std::string(field)};
      if (!(number >> value)) continue;
      line.data = {Byte(value), Byte(value >> 8), Byte(value >> 16), Byte(value >> 24)};
    } else if (line.type == 's') {
      if (!unescape(field, decoded)) continue;
      line.data.assign(decoded.begin(), decoded.end());
    } else if (line.type == 'b') {
      if (field.size() % 2) continue;
      bool ok = true;
      for (std::size_t i = 0; i < field.size(); i += 2) {
        const int hi = hexDigit(field[i]), lo = hexDigit(field[i + 1]);
        ok = ok && hi >= 0 && lo >= 0;
        line.data.push_back(Byte(hi << 4 | lo));
      }
      if (!ok) continue;
    } else {
      continue;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string formatValues(const std::vector<Line>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line.type;
    out += '\t';
    out += escape(line.name);
    out += '\t';
    if (line.type == 'n') {
      const auto& d = line.data;
      out += std::to_string(std::uint32_t(d[0]) | std::uint32_t(d[1]) << 8 | std::uint32_t(d[2]) << 16 |
                            std::uint32_t(d[3]) << 24);
    } else if (line.type == 's') {
      out += escape(std::string_view(reinterpret_cast<const char*>(line.data.data()), line.data.size()));
    } else {
      for (const Byte b : line.data) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
    }
    out += '\n';
  }
  return out;
}

std::vector<Line>::iterator findValue(std::vector<Line>& lines, const std::string& name) {
  return std::ranges::find_if(lines, [&](const Line& line) { return sameName(line.name, name); });
}

// The exclusive writer lock of one store, across threads and processes.
class WriterLock {
 public:
  explicit WriterLock(const fs::path& root) {
    std::error_code ec;
    fs::create_directories(root, ec);
    fd_ = ::open((root / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error_ = errno;
    } else if (::flock(fd_, LOCK_EX) != 0) {
      error_ = errno;
    }
  }
  ~WriterLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// Replaces the values file of dir by content; answers 0 or errno.
int replaceValues(const fs::path& dir, const std::string& content) {
  const fs::path temporary = dir / ".values.tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    done += std::size_t(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) return errno;
  return ::rename(temporary.c_str(), (dir / ".values").c_str()) == 0 ? 0 : errno;
}

}  // namespace

const std::uint32_t SettingsStore::wrongTypeError = EINVAL;

std::string SettingsStore::defaultRoot() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* user = ::getpwuid(::getuid());
      home = user ? user->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/norvale/registry";
}

bool SettingsStore::openKey(const std::string& key) const {
  std::error_code ec;
  return fs::is_directory(keyDirectory(root_, key), ec) || fail(ENOENT);
}

bool SettingsStore::createKey(const std::string& key) const {
  std::error_code ec;
  const fs::path dir = keyDirectory(root_, key);
  fs::create_directories(dir, ec);
  return fs::is_directory(dir) || fail(ec ? ec.value() : ENOTDIR);
}

bool SettingsStore::deleteTree(const std::string& key) const {
  const fs::path dir = keyDirectory(root_, key);
  if (dir == fs::path(root_)) return fail(EINVAL);  // never the whole store
  const WriterLock lock(root_);
  if (lock.error()) return fail(lock.error());
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return fail(ENOENT);
  fs::remove_all(dir, ec);
  return !ec || fail(ec.value());
}

std::optional<SettingsStore::Value> SettingsStore::readValue(const std::string& key, const std::string& name) const {
  const fs::path dir = keyDirectory(root_, key);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    fail(ENOENT);
    return std::nullopt;
  }
  std::ifstream in(dir / ".values", std::ios::binary);
  auto lines = parseValues(in);
  const auto found = findValue(lines, name);
  if (found == lines.end()) {
    fail(ENOENT);
    return std::nullopt;
  }
  const Type type = found->type == 'n' ? Type::Number : found->type == 's' ? Type::String : Type::Binary;
  return Value{type, std::move(found->data)};
}

bool SettingsStore::writeValue(const std::string& key, const std::string& name, const Value& value) const {
  const WriterLock lock(root_);
  if (lock.error()) return fail(lock.error());
  const fs::path dir = keyDirectory(root_, key);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir)) return fail(ec ? ec.value() : ENOTDIR);
  std::ifstream in(dir / ".values", std::ios::binary);
  auto lines = parseValues(in);
  in.close();
  const char type = value.type == Type::Number ? 'n' : value.type == Type::String ? 's' : 'b';
  if (auto found = findValue(lines, name); found != lines.end()) {
    found->type = type;
    found->data = value.data;
  } else {
    lines.push_back({type, name, value.data});
  }
  const int error = replaceValues(dir, formatValues(lines));
  return !error || fail(error);
}

bool SettingsStore::deleteValue(const std::string& key, const std::string& name) const {
  const WriterLock lock(root_);
  if (lock.error()) return fail(lock.error());
  const fs::path dir = keyDirectory(root_, key);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return fail(ENOENT);
  std::ifstream in(dir / ".values", std::ios::binary);
  auto lines = parseValues(in);
  in.close();
  const auto found = findValue(lines, name);
  if (found == lines.end()) return fail(ENOENT);
  lines.erase(found);
  const int error = replaceValues(dir, formatValues(lines));
  return !error || fail(error);
}

}  // namespace devio
