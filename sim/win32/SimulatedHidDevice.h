#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devio/protocol/Byte.h"

namespace sim {

// What a simulated host knows of one HID device: its attributes and its top-level collections,
// each with the answers HidD_* and HidP_* give for it.
struct SimulatedHidDevice {
  struct Collection {
    std::uint16_t usagePage = 0xFF00;
    std::uint16_t usage = 2;
    std::uint16_t inputLength = 20;
    std::uint16_t outputLength = 20;
    std::vector<devio::Byte> reportIds{0x11};  // one output value capability per id
    std::uint16_t inputCaps = 1;
  };

  std::uint16_t vid = 0x1D7A;
  std::uint16_t pid = 0x6E21;
  std::uint16_t version = 0x0100;
  std::string product = "Simulated HID device";
  std::vector<Collection> collections{Collection{}};
  // Non-zero: the HID interfaces of a device paired over Bluetooth with this address
  // (SimulatedWin32System::pairBluetooth), enumerated below its model key.
  std::uint64_t bluetoothAddress = 0;

  // The keyboard as the host presents it: usage page 0xFF00, usage 1 with 7-byte reports (id
  // 0x10) and usage 2 with 20-byte reports (id 0x11).
  static SimulatedHidDevice zephel(std::uint16_t pid, std::string product);
};

}  // namespace sim
