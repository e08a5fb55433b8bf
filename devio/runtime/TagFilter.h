#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace devio {

// Which messages the text outputs show, by tag argument. The known tags are the messages' tags
// (dash tag, else tag argument) and their tag arguments. Every new one rebuilds the filter: all
// known tags, then the "LogTags" specs applied in order ("-*" empties it, "+Name" adds, "-Name"
// removes; anything else is ignored). Each rebuild is written to the debugger output. Any
// thread; one lock, taken only for messages bound for a text output.
class TagFilter {
 public:
  TagFilter(std::optional<std::string> specs, std::function<void(const char*)> debugger);

  // tag is the message's dash tag or else its tag argument; an empty tag is not filtered.
  // Answers whether the text outputs may show the message: its tag argument is in the filter.
  bool admits(std::string_view tag, std::string_view tagArgument);

  // Forgets the tags; from then on nothing is filtered.
  void disable();

 private:
  void rebuild();
  void output(const char* format, const std::string& text) const;

  const std::optional<std::string> specs_;
  const std::function<void(const char*)> debugger_;
  std::mutex mutex_;
  std::set<std::string, std::less<>> known_;
  std::set<std::string, std::less<>> filter_;
  bool disabled_ = false;
};

}  // namespace devio
