#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "devio/protocol/Byte.h"

namespace sim {

// Status bytes of the keyboard's update mode: 1 to 3 are not errors.
enum class DfuStatus : devio::Byte {
  Ready = 1,            // block taken, send the next one
  Accepted = 2,         // the image is complete and valid
  Busy = 3,             // nothing to do
  BadStartBlock = 4,    // not 00 01 <this variant's image name> and zeros
  BadSectionHeader = 5, // not 01, load address 0x08003000, a program length in whole blocks, zeros
  BadSequence = 6,      // a gap, a block with the wrong function for its number (a different
                        // block in place of a repeat included), or a data block while no
                        // transfer runs (after the end block too)
  BadTrailer = 7,       // the two blocks after the program, the second holding its checksum
  BadEndBlock = 8,      // not 03 and zeros
  Refused = 9,          // the keyboard refuses the block or the image (injected faults)
};

// Checks an image streamed block by block in the keyboard's update-file layout (16-byte blocks):
//   start block    00 01, the image name (7 characters), seven 00
//   section header 01, load address 0x08003000 and program length (32-bit big-endian), seven 00
//   program        length bytes (a whole number of blocks)
//   trailer        02, seven 00, 02, seven 00
//   trailer        the program's CRC-16/CCITT-FALSE (big-endian), fourteen 00
//   end block      03, fifteen 00
// The first bad block ends the transfer: later data blocks get BadSequence until the next start.
// A repeat of the block just taken (same function, same bytes: a host that sends a block again
// because its answer was lost) gets that block's status again and is not taken twice.
// Not thread-safe: its owner serialises the calls.
class SimulatedDfuReceiver {
 public:
  static constexpr std::size_t BlockSize = 16;
  static constexpr std::uint32_t LoadAddress = 0x08003000;
  static constexpr std::uint32_t MaxProgramLength = 0x40000;

  explicit SimulatedDfuReceiver(std::string imageName);

  // Begins a new image with its start block (any running transfer is dropped): Ready or
  // BadStartBlock.
  DfuStatus start(const devio::Bytes& block);
  // The data block sent with this Velo function (function = block number & 3).
  DfuStatus receive(unsigned function, const devio::Bytes& block);
  // Whether receive would take this block as a repeat of the block just taken; that block's
  // number is then nextBlock() - 1.
  bool repeats(unsigned function, const devio::Bytes& block) const;
  // Ends the running transfer as failed (the keyboard refused a block).
  void abort();

  bool receiving() const { return receiving_; }
  bool accepted() const { return accepted_; }
  // Number of the block expected next (0 before any start).
  unsigned nextBlock() const { return next_; }
  // The version text the accepted image's program carries after its name; empty when it carries
  // none or nothing was accepted.
  std::string imageVersion() const;

  static std::uint16_t crc16(const devio::Bytes& data);

 private:
  // The block taken last, with its status.
  struct Taken {
    unsigned function;
    devio::Bytes block;
    DfuStatus status;
  };

  DfuStatus check(const devio::Bytes& block);
  DfuStatus fail(DfuStatus status);

  const std::string imageName_;
  bool receiving_ = false;
  bool accepted_ = false;
  unsigned next_ = 0;
  std::uint32_t programLength_ = 0;
  devio::Bytes program_;
  std::optional<Taken> last_;
};

}  // namespace sim
