#include "app/CFirmwareImages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>

namespace {

using testing::Each;
using testing::ElementsAre;

constexpr std::uint32_t kLoadAddress = 0x08003000;
constexpr std::size_t kBlock = 16;

struct ImageCase {
  bool secondVariant;
  std::size_t size;
  std::size_t blocks;
  std::string_view name;
  std::uint32_t programLength;
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

std::uint32_t littleEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::uint32_t{bytes[at + 3]} << 24 | std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 1]} << 8 |
         bytes[at];
}

class FirmwareImage : public testing::TestWithParam<ImageCase> {
 protected:
  std::span<const std::uint8_t> image = CFirmwareImages::forVariant(GetParam().secondVariant);
};

TEST_P(FirmwareImage, HasTheSizeOfWholeBlocks) {
  ASSERT_EQ(image.size(), GetParam().size);
  EXPECT_EQ(image.size() % kBlock, 0u);
  EXPECT_EQ(image.size() / kBlock, GetParam().blocks);
  EXPECT_EQ(image.size(), 2 * kBlock + GetParam().programLength + 3 * kBlock);
}

TEST_P(FirmwareImage, StartsWithTheStartBlockAndTheSectionHeader) {
  ASSERT_EQ(image.size(), GetParam().size);
  EXPECT_THAT(image.subspan(0, 2), ElementsAre(0x00, 0x01));
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(image.data() + 2), 7), GetParam().name);
  EXPECT_THAT(image.subspan(9, 7), Each(0x00));
  EXPECT_EQ(image[16], 0x01);
  EXPECT_EQ(bigEndian32(image, 17), kLoadAddress);
  EXPECT_EQ(bigEndian32(image, 21), GetParam().programLength);
  EXPECT_THAT(image.subspan(25, 7), Each(0x00));
}

TEST_P(FirmwareImage, ProgramBeginsWithAVectorTableIntoTheSection) {
  ASSERT_EQ(image.size(), GetParam().size);
  const auto program = image.subspan(2 * kBlock, GetParam().programLength);
  const auto inSection = [&](std::uint32_t address) {
    return address >= kLoadAddress && address < kLoadAddress + GetParam().programLength;
  };
  EXPECT_EQ(littleEndian32(program, 0), 0x20002000u);  // initial stack pointer
  const auto reset = littleEndian32(program, 4);
  EXPECT_TRUE(inSection(reset)) << std::hex << reset;
  EXPECT_EQ(reset & 1, 1u);  // Thumb entry
  for (std::size_t vector = 2; vector < 16; ++vector) {
    const auto handler = littleEndian32(program, 4 * vector);
    if (handler != 0) {
      EXPECT_TRUE(inSection(handler) && (handler & 1)) << vector << ": " << std::hex << handler;
    }
  }
}

TEST_P(FirmwareImage, EndsWithTheTrailerAndTheEndBlock) {
  ASSERT_EQ(image.size(), GetParam().size);
  const auto tail = image.last(3 * kBlock);
  EXPECT_THAT(tail.first(kBlock), ElementsAre(2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_THAT(tail.subspan(kBlock + 2, 14), Each(0x00));
  EXPECT_THAT(tail.last(kBlock), ElementsAre(3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(Variants, FirmwareImage,
                         testing::Values(ImageCase{false, 37968, 2373, "Q371_D0", 0x9400},
                                         ImageCase{true, 38096, 2381, "Q371_D1", 0x9480}));

TEST(FirmwareImages, TrailerBytesDifferBetweenTheImages) {
  const auto first = CFirmwareImages::forVariant(false);
  const auto second = CFirmwareImages::forVariant(true);
  ASSERT_GE(first.size(), 3 * kBlock);
  ASSERT_GE(second.size(), 3 * kBlock);
  EXPECT_FALSE(std::ranges::equal(first.last(2 * kBlock).first(2), second.last(2 * kBlock).first(2)));
}

}  // namespace
