#include "info/InfoOptions.h"

#include <charconv>

std::variant<InfoOptions, std::string> InfoOptions::parse(const std::vector<std::string_view>& args) {
  InfoOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--wait") {
      if (++i == args.size()) return std::string("--wait needs a number of milliseconds");
      const std::string_view value = args[i];
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.waitMs);
      if (error != std::errc() || end != value.data() + value.size())
        return "--wait needs a number of milliseconds, not \"" + std::string(value) + "\"";
    } else {
      return "unknown option \"" + std::string(arg) + "\"";
    }
  }
  return options;
}

std::string InfoOptions::usage() {
  return "Usage: devio-info [--simulate] [--json] [--wait MS] [--help]\n"
         "Lists the devices the devio library finds (every kind it can admit) with their product id,\n"
         "name, bus type, path, firmware entities and features, and the state of the features that\n"
         "hold a readable setting (battery, DPI, report rate, keyboard layout, wheel mode, lock keys,\n"
         "backlight).\n"
         "\n"
         "  --simulate  plug in two simulated devices: the Kavrin Zephel keyboard and a device whose\n"
         "              feature table holds most of the feature catalogue\n"
         "  --json      print the same as one JSON document\n"
         "  --wait MS   how long to wait for devices to arrive (default 3000; with --simulate the\n"
         "              wait ends as soon as both simulated devices are there)\n"
         "  --help      this text\n"
         "\n"
         "Exit status: 0 devices were listed, 2 bad command line, 3 no device came.\n";
}
