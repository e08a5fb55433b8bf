#pragma once

#include <functional>
#include <optional>
#include <string>

namespace devio {

class SettingsStore;

// The logging settings, read once from the key "SOFTWARE\Norvale\devio" of the settings store.
struct LogSettings {
  // Bits of output.
  static constexpr unsigned StandardOutput = 1;
  static constexpr unsigned DebuggerOutput = 2;
  static constexpr unsigned FileOutput = 4;

  bool logging = false;           // "logging": off unless non-zero
  int level = 3;                  // "logginglevel": highest level of the text outputs
  unsigned output = 6;            // "loggingoutput"
  std::optional<std::string> tags;  // "LogTags": tag filter specs (at most 1023 characters)

  // Reads the settings; a value that cannot be read keeps its default and is reported to
  // notice (the debugger output) with the host's error number. A missing key ends the reading.
  static LogSettings read(const SettingsStore& store, const std::function<void(const char*)>& notice);
};

}  // namespace devio
