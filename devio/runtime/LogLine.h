#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace devio {

// One message as its lines show it, and the two line formats. A text line (standard and
// debugger output) reads "INFO - DeviceManager::devices -api- enter"; a file line carries
// times, process, thread, module, level, tag column, function and text, one line per line of
// the message. Lines never exceed kMaxLine characters: a longer one is cut and still ends with
// a line break.
struct LogLine {
  static constexpr std::size_t kMaxLine = 1023;  // also the longest message
  using Buffer = std::array<char, kMaxLine + 1>;

  // The columns of a file line besides function and text.
  struct FileColumns {
    double seconds;           // since the process was created
    long long fileTime;       // time of the message, 100-ns units since 1601-01-01 UTC
    unsigned processId;
    unsigned threadId;
    const char* module;
    int level;
    std::string_view tag;     // the tag argument
  };

  std::string_view shortFunction;  // "DeviceManager::addBus"
  std::string_view dashTag;        // the word of a leading dash tag ("api"), empty when none
  std::string_view text;           // the message without dash tag, repeated function, final line break

  // Views into function and message, which must outlive the result.
  static LogLine parse(std::string_view function, std::string_view message);
  // Drops a trailing parameter list, a return type and a leading "devio::".
  static std::string_view shortFunctionName(std::string_view function);
  // The word of a leading "-word- ", empty when the message has none.
  static std::string_view dashTagOf(std::string_view message);
  // ERROR, WARNING, INFO, DEBUG; VERBOSE for 4 and above.
  static const char* levelName(int level);

  std::string_view textLine(Buffer& buffer, int level) const;

  // Calls out(line) for each file line; continuation lines show ">" as the function.
  template <typename Out>
  void fileLines(Buffer& buffer, const FileColumns& columns, Out&& out) const {
    std::string_view rest = text;
    std::string_view function = shortFunction;
    for (;;) {
      const auto end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      out(fileLine(buffer, columns, function, line));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
      function = ">";
    }
  }

 private:
  std::string_view fileLine(Buffer& buffer, const FileColumns& columns, std::string_view function,
                            std::string_view line) const;
};

}  // namespace devio
