#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// The per-device file that keeps a device's cacheable answers between runs: an XML document
// <cache fw="..." path="..."> with one <command cmd="HEX" rsp="HEX"/> per entry.
class CommandCacheFile {
 public:
  struct Contents {
    bool hasCache = false;  // a well-formed document with a <cache> element
    std::string fw;         // its firmware identity ("" when the attribute is missing)
    std::vector<std::pair<Bytes, Bytes>> entries;  // in document order
  };

  // Product id and FNV-1a hash of the channel path, both upper-case hex without leading zeros:
  // "7331_1A47E90B.xml".
  static std::string fileName(unsigned pid, const std::string& path);
  static std::uint32_t hashPath(const std::string& path);

  // Two upper-case digits per byte.
  static std::string toHex(const Bytes& bytes);
  // Pairs of hex digits (either case) give bytes; a pair with any other character is skipped;
  // a trailing single character is ignored.
  static Bytes fromHex(std::string_view text);

  // The whole document as written.
  static std::string render(const std::string& fw, const std::string& path, const std::map<Bytes, Bytes>& entries);

  // Empty when the file cannot be opened. A document that is not well-formed XML (or is
  // truncated) reads as Contents without a cache, never as an error the device must handle.
  static std::optional<Contents> read(const std::string& file);
  static Contents parse(std::string text);

  // Replaces the file through a temporary file, so a crash never leaves half a document.
  static bool write(const std::string& file, const std::string& fw, const std::string& path,
                    const std::map<Bytes, Bytes>& entries);
};

}  // namespace devio
