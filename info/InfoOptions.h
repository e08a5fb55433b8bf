#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The command line of devio-info.
struct InfoOptions {
  bool simulate = false;
  bool json = false;
  bool help = false;
  unsigned waitMs = 3000;

  // The options, or the reason the command line is wrong.
  static std::variant<InfoOptions, std::string> parse(const std::vector<std::string_view>& args);
  static std::string usage();
};
