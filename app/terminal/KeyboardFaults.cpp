#include "app/terminal/KeyboardFaults.h"

#include <algorithm>
#include <array>

namespace {

using Faults = sim::SimulatedZephelKeyboard::Faults;

Faults lostAck() {
  Faults faults;
  faults.lostAckAtBlock = KeyboardFaults::Block;
  return faults;
}

Faults errorStatus() {
  Faults faults;
  faults.errorAtBlock = KeyboardFaults::Block;
  return faults;
}

Faults unplug() {
  Faults faults;
  faults.unplugAtBlock = KeyboardFaults::Block;
  return faults;
}

Faults rejected() {
  Faults faults;
  faults.neverAccept = true;
  return faults;
}

}  // namespace

std::span<const KeyboardFaults::Named> KeyboardFaults::all() {
  static const std::array<Named, 4> faults{
      Named{"lost-ack", "the acknowledgement of block 1000 is lost once; the watchdog restarts", lostAck()},
      Named{"error-status", "block 1000 is refused once; the transfer restarts after 2 s", errorStatus()},
      Named{"unplug", "the keyboard vanishes at block 1000 and comes back in update mode", unplug()},
      Named{"image-rejected", "the image is never accepted; the update fails after three tries", rejected()},
  };
  return faults;
}

std::optional<sim::SimulatedZephelKeyboard::Faults> KeyboardFaults::byName(std::string_view name) {
  const auto faults = all();
  const auto it = std::find_if(faults.begin(), faults.end(), [&](const Named& f) { return f.name == name; });
  if (it == faults.end()) return std::nullopt;
  return it->faults;
}
