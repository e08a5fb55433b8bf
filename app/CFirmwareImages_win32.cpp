#include "app/CFirmwareImages.h"

#include <windows.h>

namespace {

// A resource of type "FIRMWARE" in the program's own module; empty when it cannot be found,
// loaded or locked. Loaded resources stay mapped for the life of the process.
std::span<const std::uint8_t> firmwareResource(unsigned id) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"FIRMWARE");
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (!loaded) return {};
  const void* bytes = LockResource(loaded);
  if (!bytes) return {};
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(nullptr, found)};
}

}  // namespace

std::span<const std::uint8_t> CFirmwareImages::image2000() { return firmwareResource(2000); }

std::span<const std::uint8_t> CFirmwareImages::image2001() { return firmwareResource(2001); }
