#include "app/terminal/TerminalOptions.h"

#include <charconv>
#include <functional>
#include <map>

#include "app/terminal/KeyboardFaults.h"

namespace {

std::optional<unsigned> number(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool store(std::optional<unsigned> value, unsigned& into) {
  if (value) into = *value;
  return value.has_value();
}

}  // namespace

std::variant<TerminalOptions, std::string> TerminalOptions::parse(std::span<const std::string_view> args) {
  // The options that take a value; each setter answers whether the value is valid.
  using Setter = std::function<bool(TerminalOptions&, std::string_view)>;
  static const std::map<std::string_view, Setter> valued{
      {"--variant",
       [](TerminalOptions& o, std::string_view v) {
         const std::optional<unsigned> variant = number(v);
         if (variant != 1u && variant != 2u) return false;
         o.variant = static_cast<int>(*variant);
         return true;
       }},
      {"--firmware-version",
       [](TerminalOptions& o, std::string_view v) {
         o.firmwareVersion = v;
         return !v.empty();
       }},
      {"--fault",
       [](TerminalOptions& o, std::string_view v) {
         o.fault = v;
         return KeyboardFaults::byName(v) != nullptr;
       }},
      {"--lang",
       [](TerminalOptions& o, std::string_view v) {
         o.languageId = number(v);
         return o.languageId && *o.languageId != 0 && *o.languageId <= 0xFFFF;
       }},
      {"--replug-delay", [](TerminalOptions& o, std::string_view v) { return store(number(v), o.replugDelayMs); }},
      {"--keyboard-wait", [](TerminalOptions& o, std::string_view v) { return store(number(v), o.keyboardWaitMs); }},
  };

  TerminalOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string option(args[i]);
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--simulate") {
      options.simulate = true;
    } else if (const auto setter = valued.find(args[i]); setter != valued.end()) {
      if (i + 1 == args.size()) return "option " + option + " needs a value";
      const std::string_view value = args[++i];
      if (!setter->second(options, value)) return "invalid value for " + option + ": " + std::string(value);
    } else {
      return "unknown option " + option;
    }
  }
  return options;
}

std::string TerminalOptions::usage() {
  std::string text =
      "usage: kavrin-dfu [options]\n"
      "Updates the firmware of a Kavrin Zephel keyboard.\n"
      "\n"
      "  --simulate               run against a built-in simulated keyboard (this Linux build has\n"
      "                           no HID transport for a real one yet)\n"
      "  --variant 1|2            variant of the simulated keyboard (default 1)\n"
      "  --firmware-version TEXT  firmware version the simulated keyboard starts with (default:\n"
      "                           an old one; 371.3.11 for variant 1 or 371.12.12 for variant 2\n"
      "                           needs no update)\n"
      "  --fault NAME             a fault of the simulated keyboard:\n";
  for (const KeyboardFaults::Named& fault : KeyboardFaults::all()) {
    text += "                             " + std::string(fault.name) + ": " + std::string(fault.description) + "\n";
  }
  text +=
      "  --lang ID                language id of the texts, e.g. 1031 for German (default: from\n"
      "                           LC_ALL, LC_MESSAGES or LANG; English when unknown)\n"
      "  --replug-delay MS        the simulated keyboard is unplugged and plugged back in for you\n"
      "                           MS milliseconds after the tool asks for it, or at once when\n"
      "                           you press Enter (default 1000; 0 for no pause)\n"
      "  --keyboard-wait MS       give up when no keyboard has come for MS milliseconds\n"
      "                           (default 10000; Enter gives up at once)\n"
      "  --help                   show this text\n"
      "\n"
      "Exit status: 0 when the firmware was updated or needed no update, 1 when the update\n"
      "failed, 2 for a bad command line, 3 when no keyboard came.\n";
  return text;
}
