#include "devio/runtime/LogLine.h"

#include <cctype>
#include <cstdio>

namespace devio {

namespace {

// The line of an snprintf into buffer: cut to kMaxLine characters, still ending with '\n'.
std::string_view finish(LogLine::Buffer& buffer, int written) {
  if (written < 0) return {};
  if (std::size_t(written) <= LogLine::kMaxLine) return {buffer.data(), std::size_t(written)};
  buffer[LogLine::kMaxLine - 1] = '\n';
  buffer[LogLine::kMaxLine] = '\0';
  return {buffer.data(), LogLine::kMaxLine};
}

// Drops a leading repetition of name (and one following space) from text. The repetition must
// end where a name ends, so "initDevice" does not lose "init".
void dropRepetition(std::string_view& text, std::string_view name) {
  if (name.empty() || !text.starts_with(name)) return;
  if (text.size() > name.size()) {
    const unsigned char next = text[name.size()];
    if (std::isalnum(next) || next == '_') return;
  }
  text.remove_prefix(name.size());
  if (text.starts_with(' ')) text.remove_prefix(1);
}

}  // namespace

std::string_view LogLine::shortFunctionName(std::string_view function) {
  if (function.ends_with(')')) {
    int depth = 0;
    for (std::size_t i = function.size(); i-- > 0;) {
      depth += function[i] == ')' ? 1 : function[i] == '(' ? -1 : 0;
      if (depth == 0) {
        function = function.substr(0, i);
        break;
      }
    }
  }
  if (const auto returnType = function.find_last_of(" *"); returnType != std::string_view::npos)
    function.remove_prefix(returnType + 1);
  if (function.starts_with("devio::")) function.remove_prefix(7);
  return function;
}

std::string_view LogLine::dashTagOf(std::string_view message) {
  if (!message.starts_with('-')) return {};
  const auto end = message.find_first_of("- ", 1);
  if (end == std::string_view::npos || end == 1 || message[end] != '-' || message.substr(end + 1, 1) != " ")
    return {};
  return message.substr(1, end - 1);
}

const char* LogLine::levelName(int level) {
  static constexpr const char* names[] = {"ERROR", "WARNING", "INFO", "DEBUG", "VERBOSE"};
  return names[level <= 0 ? 0 : level >= 4 ? 4 : level];
}

LogLine LogLine::parse(std::string_view function, std::string_view message) {
  LogLine line;
  line.shortFunction = shortFunctionName(function);
  line.dashTag = dashTagOf(message);
  line.text = message;
  if (!line.dashTag.empty()) line.text.remove_prefix(line.dashTag.size() + 3);
  const auto classEnd = line.shortFunction.find("::");
  const std::string_view method =
      classEnd == std::string_view::npos ? line.shortFunction : line.shortFunction.substr(classEnd + 2);
  dropRepetition(line.text, method);
  dropRepetition(line.text, line.shortFunction);
  while (line.text.ends_with('\n') || line.text.ends_with('\r')) line.text.remove_suffix(1);
  return line;
}

std::string_view LogLine::textLine(Buffer& buffer, int level) const {
  const int fn = int(shortFunction.size()), tx = int(text.size());
  if (dashTag.empty())
    return finish(buffer, std::snprintf(buffer.data(), buffer.size(), "%s - %.*s %.*s\n", levelName(level), fn,
                                        shortFunction.data(), tx, text.data()));
  return finish(buffer, std::snprintf(buffer.data(), buffer.size(), "%s - %.*s -%.*s- %.*s\n", levelName(level), fn,
                                      shortFunction.data(), int(dashTag.size()), dashTag.data(), tx, text.data()));
}

std::string_view LogLine::fileLine(Buffer& buffer, const FileColumns& columns, std::string_view function,
                                   std::string_view line) const {
  // The tag column: the dash tag with its dashes, otherwise the tag argument between dashes.
  const std::string_view tag = dashTag.empty() ? columns.tag : dashTag;
  char tagColumn[kMaxLine + 1];
  std::snprintf(tagColumn, sizeof tagColumn, "-%.*s-", int(tag.size()), tag.data());
  return finish(buffer, std::snprintf(buffer.data(), buffer.size(), "%f\t%lld\t%d\t<%05d>.%s.%s\t%d\t%-20s\t%.*s %.*s\n",
                                      columns.seconds, columns.fileTime, int(columns.processId),
                                      int(columns.threadId), "devio", columns.module, columns.level, tagColumn,
                                      int(function.size()), function.data(), int(line.size()), line.data()));
}

}  // namespace devio
