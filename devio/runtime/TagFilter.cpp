#include "devio/runtime/TagFilter.h"

#include <cstdio>
#include <sstream>

#include "devio/runtime/LogLine.h"

namespace devio {

TagFilter::TagFilter(std::optional<std::string> specs, std::function<void(const char*)> debugger)
    : specs_(std::move(specs)), debugger_(std::move(debugger)) {}

bool TagFilter::admits(std::string_view tag, std::string_view tagArgument) {
  if (tag.empty()) return true;
  std::lock_guard lock(mutex_);
  if (disabled_) return true;
  // The tag argument is known too: it is what the filter is checked against, so without specs
  // every message passes, dash tag or not.
  const bool added = known_.emplace(tag).second;
  if (known_.emplace(tagArgument).second || added) rebuild();
  return filter_.contains(tagArgument);
}

void TagFilter::disable() {
  std::lock_guard lock(mutex_);
  disabled_ = true;
  known_.clear();
  filter_.clear();
}

void TagFilter::output(const char* format, const std::string& text) const {
  LogLine::Buffer line;
  std::snprintf(line.data(), line.size(), format, text.c_str());
  debugger_(line.data());
}

void TagFilter::rebuild() {
  filter_ = known_;
  for (const auto& tag : known_) output("Log tag: %s\n", tag);
  debugger_("-------------\n");
  std::istringstream specs(specs_.value_or(""));
  std::string spec;
  while (specs >> spec) {
    output("Log spec: %s\n", spec);
    if (spec == "-*") {
      filter_.clear();
    } else if (spec.size() > 1 && spec[0] == '+') {
      filter_.insert(spec.substr(1));
    } else if (spec.size() > 1 && spec[0] == '-') {
      filter_.erase(spec.substr(1));
    }
  }
  for (const auto& tag : filter_) output("Filtered log tag: %s\n", tag);
  debugger_("-------------\n");
}

}  // namespace devio
