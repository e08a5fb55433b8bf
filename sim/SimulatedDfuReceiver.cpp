#include "sim/SimulatedDfuReceiver.h"

#include <algorithm>
#include <utility>

namespace sim {

using devio::Byte;
using devio::Bytes;

namespace {

constexpr Byte StartTag = 0x00;
constexpr Byte StartKind = 0x01;
constexpr Byte SectionTag = 0x01;
constexpr Byte TrailerTag = 0x02;
constexpr Byte EndTag = 0x03;

std::uint32_t bigEndian32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Bytes from..to-1 of the block are all zero.
bool zero(const Bytes& block, std::size_t from, std::size_t to = SimulatedDfuReceiver::BlockSize) {
  return std::all_of(block.begin() + std::ptrdiff_t(from), block.begin() + std::ptrdiff_t(to), [](Byte b) { return b == 0; });
}

}  // namespace

SimulatedDfuReceiver::SimulatedDfuReceiver(std::string imageName) : imageName_(std::move(imageName)) {}

DfuStatus SimulatedDfuReceiver::start(const Bytes& block) {
  receiving_ = false;
  accepted_ = false;
  next_ = 0;
  programLength_ = 0;
  program_.clear();
  last_.reset();
  const bool good = block.size() == BlockSize && block[0] == StartTag && block[1] == StartKind &&
                    std::equal(imageName_.begin(), imageName_.end(), block.begin() + 2) &&
                    zero(block, 2 + imageName_.size());
  if (!good) return DfuStatus::BadStartBlock;
  receiving_ = true;
  next_ = 1;
  return DfuStatus::Ready;
}

DfuStatus SimulatedDfuReceiver::receive(unsigned function, const Bytes& block) {
  if (repeats(function, block)) return last_->status;
  if (!receiving_) return DfuStatus::BadSequence;
  if (function != (next_ & 3) || block.size() != BlockSize) return fail(DfuStatus::BadSequence);
  const DfuStatus status = check(block);
  if (status != DfuStatus::Ready && status != DfuStatus::Accepted) return fail(status);
  ++next_;
  last_ = Taken{function, block, status};
  if (status == DfuStatus::Accepted) {
    receiving_ = false;
    accepted_ = true;
  }
  return status;
}

bool SimulatedDfuReceiver::repeats(unsigned function, const Bytes& block) const {
  return last_ && last_->function == function && last_->block == block;
}

// Checks block number next_ against the layout.
DfuStatus SimulatedDfuReceiver::check(const Bytes& block) {
  if (next_ == 1) {
    const std::uint32_t length = bigEndian32(block, 5);
    if (block[0] != SectionTag || bigEndian32(block, 1) != LoadAddress || length == 0 || length % BlockSize != 0 ||
        length > MaxProgramLength || !zero(block, 9))
      return DfuStatus::BadSectionHeader;
    programLength_ = length;
    program_.reserve(length);
    return DfuStatus::Ready;
  }
  const unsigned programBlocks = programLength_ / BlockSize;
  const unsigned firstTrailer = 2 + programBlocks;
  if (next_ < firstTrailer) {
    program_.insert(program_.end(), block.begin(), block.end());
    return DfuStatus::Ready;
  }
  if (next_ == firstTrailer) {
    const bool good = block[0] == TrailerTag && zero(block, 1, 8) &&
                      block[8] == TrailerTag && zero(block, 9);
    return good ? DfuStatus::Ready : DfuStatus::BadTrailer;
  }
  if (next_ == firstTrailer + 1) {
    const std::uint16_t crc = crc16(program_);
    const bool good = block[0] == Byte(crc >> 8) && block[1] == Byte(crc) && zero(block, 2);
    return good ? DfuStatus::Ready : DfuStatus::BadTrailer;
  }
  // The end block (a block after it never gets here: the transfer ended with it).
  return block[0] == EndTag && zero(block, 1) ? DfuStatus::Accepted : DfuStatus::BadEndBlock;
}

void SimulatedDfuReceiver::abort() {
  receiving_ = false;
  last_.reset();
}

DfuStatus SimulatedDfuReceiver::fail(DfuStatus status) {
  abort();
  return status;
}

std::string SimulatedDfuReceiver::imageVersion() const {
  if (!accepted_) return {};
  Bytes key(imageName_.begin(), imageName_.end());
  key.push_back(0);
  const auto found = std::search(program_.begin(), program_.end(), key.begin(), key.end());
  if (found == program_.end()) return {};
  const auto begin = found + std::ptrdiff_t(key.size());
  const auto end = std::find(begin, program_.end(), Byte(0));
  std::string text(begin, end);
  const bool looksLikeVersion = !text.empty() && text.size() <= 16 && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.';
  });
  return looksLikeVersion ? text : std::string();
}

std::uint16_t SimulatedDfuReceiver::crc16(const Bytes& data) {
  std::uint16_t crc = 0xFFFF;
  for (Byte byte : data) {
    crc ^= std::uint16_t(byte << 8);
    for (int bit = 0; bit < 8; ++bit) crc = std::uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

}  // namespace sim
