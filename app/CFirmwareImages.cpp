#include "app/CFirmwareImages.h"

std::span<const std::uint8_t> CFirmwareImages::forVariant(bool secondVariant) {
  return secondVariant ? image2001() : image2000();
}
