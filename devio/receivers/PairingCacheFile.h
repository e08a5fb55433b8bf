#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace devio {

// "paired.xml": the Bluetooth devices the pairing filter knows, kept between runs as
// <devices> with one <device path="" pid="" name="" radio="" interface=""/> per device.
class PairingCacheFile {
 public:
  struct Entry {
    std::string path;
    std::uint16_t pid = 0;
    std::string name;
    std::string radio;      // empty: unpaired
    std::string interface;  // "blepp", "blevelo" or empty
    bool operator==(const Entry&) const = default;
  };

  static constexpr const char* kFileName = "paired.xml";

  static std::string render(const std::vector<Entry>& entries);
  // Tolerant: a document that is not well-formed (or truncated) or has another root gives no
  // entries; a device without a path is skipped, other missing attributes stay empty, a pid
  // that is not a number reads as 0, unknown elements are ignored.
  static std::vector<Entry> parse(std::string text);
  // No entries when the file cannot be read.
  static std::vector<Entry> read(const std::string& file);
  // Replaces the whole file through a temporary one.
  static bool write(const std::string& file, const std::vector<Entry>& entries);
};

}  // namespace devio
