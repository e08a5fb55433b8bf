#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace devio {

// Bytes for the log: two lower-case digits per byte, each followed by separator.
inline std::string hexText(std::span<const std::uint8_t> bytes, std::string_view separator = {}) {
  std::string text;
  text.reserve(bytes.size() * (2 + separator.size()));
  char digits[3];
  for (const std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", b);
    text += digits;
    text += separator;
  }
  return text;
}

}  // namespace devio
