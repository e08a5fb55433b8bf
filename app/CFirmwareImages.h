#pragma once

#include <cstdint>
#include <span>

// The two firmware images the tool carries, one per keyboard variant (FIRMWARE 2000 and 2001 in
// the Windows executable). The bytes live as long as the process; empty when the image is missing.
class CFirmwareImages {
 public:
  static std::span<const std::uint8_t> forVariant(bool secondVariant);

 private:
  // Defined in the files made at build time from app/resources/firmware/FIRMWARE_<id>.bin; on
  // Windows read from the program's resources (CFirmwareImages_win32.cpp).
  static std::span<const std::uint8_t> image2000();
  static std::span<const std::uint8_t> image2001();
};
