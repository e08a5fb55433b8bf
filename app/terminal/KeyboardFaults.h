#pragma once

#include <chrono>
#include <span>
#include <string_view>

#include "sim/SimulatedZephelKeyboard.h"

// The simulated keyboard's faults by the names the command line uses, each with what it does
// and how the run ends.
class KeyboardFaults {
 public:
  struct Named {
    std::string_view name;
    std::string_view description;
    sim::SimulatedZephelKeyboard::Faults faults;
    // How long the keyboard takes to restart into its new firmware (zero: at once).
    std::chrono::milliseconds restartDelay{0};
  };

  // The block at which the faults that name one strike: far enough into the image that the
  // transfer is well under way.
  static constexpr unsigned Block = 1000;

  static std::span<const Named> all();
  // Null for an unknown name.
  static const Named* byName(std::string_view name);
  // Gives the keyboard the named fault; false (and nothing changes) for an unknown name.
  static bool apply(std::string_view name, sim::SimulatedZephelKeyboard::Config& config);
};
