#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// The command line of kavrin-dfu.
struct TerminalOptions {
  bool help = false;
  // Run against the built-in simulated keyboard instead of the host's bus.
  bool simulate = false;
  int variant = 1;
  // The firmware version the simulated keyboard starts with; empty: an old one of its variant.
  std::string firmwareVersion;
  // A fault of the simulated keyboard, by its name in KeyboardFaults; empty: none.
  std::string fault;
  // Empty: the user's language from the environment.
  std::optional<unsigned> languageId;
  // How long the front end waits before it replugs the simulated keyboard for the user.
  unsigned replugDelayMs = 1000;
  // How long the tool waits for a keyboard before it gives up.
  unsigned keyboardWaitMs = 10000;

  // Parses the arguments that follow the program name; the error text names the first bad one.
  static std::variant<TerminalOptions, std::string> parse(std::span<const std::string_view> args);
  static std::string usage();
};
