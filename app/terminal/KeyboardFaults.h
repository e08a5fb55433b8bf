#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "sim/SimulatedZephelKeyboard.h"

// The simulated keyboard's faults by the names the command line uses.
class KeyboardFaults {
 public:
  struct Named {
    std::string_view name;
    std::string_view description;
    sim::SimulatedZephelKeyboard::Faults faults;
  };

  // The block at which the faults that name one strike: far enough into the image that the
  // transfer is well under way.
  static constexpr unsigned Block = 1000;

  static std::span<const Named> all();
  static std::optional<sim::SimulatedZephelKeyboard::Faults> byName(std::string_view name);
};
