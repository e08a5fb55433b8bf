#include "devio/runtime/TagFilter.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "devio/runtime/LogLine.h"

namespace devio {

namespace {

std::vector<std::string> splitSpecs(const std::optional<std::string>& specs) {
  std::istringstream stream(specs.value_or(""));
  std::vector<std::string> result;
  for (std::string spec; stream >> spec;) result.push_back(std::move(spec));
  return result;
}

bool contains(const std::vector<std::string_view>& sorted, std::string_view name) {
  return std::binary_search(sorted.begin(), sorted.end(), name);
}

void insert(std::vector<std::string_view>& sorted, std::string_view name) {
  const auto at = std::lower_bound(sorted.begin(), sorted.end(), name);
  if (at == sorted.end() || *at != name) sorted.insert(at, name);
}

}  // namespace

TagFilter::TagFilter(std::optional<std::string> specs, std::function<void(const char*)> debugger)
    : specs_(splitSpecs(specs)), debugger_(std::move(debugger)) {}

bool TagFilter::admits(std::string_view tag, std::string_view tagArgument) {
  if (tag.empty() || disabled_.load(std::memory_order_acquire)) return true;
  const Snapshot* snapshot = current_.load(std::memory_order_acquire);
  // The tag argument is known too: it is what the filter is checked against, so without specs
  // every message passes, dash tag or not.
  if (!snapshot || !contains(snapshot->known, tag) || (tag != tagArgument && !contains(snapshot->known, tagArgument)))
    snapshot = learn(tag, tagArgument);
  return !snapshot || contains(snapshot->filter, tagArgument);
}

const TagFilter::Snapshot* TagFilter::learn(std::string_view tag, std::string_view tagArgument) {
  std::lock_guard lock(mutex_);
  if (disabled_.load()) return nullptr;
  const Snapshot* current = current_.load(std::memory_order_relaxed);
  auto next = std::make_unique<Snapshot>();
  if (current) next->known = current->known;
  bool learnt = false;
  for (const std::string_view name : {tag, tagArgument}) {
    if (contains(next->known, name)) continue;
    insert(next->known, names_.emplace_back(name));
    learnt = true;
  }
  if (!learnt) return current;  // another thread learnt them meanwhile
  rebuild(*next);
  current_.store(next.get(), std::memory_order_release);
  return snapshots_.emplace_back(std::move(next)).get();
}

void TagFilter::disable() {
  std::lock_guard lock(mutex_);
  disabled_.store(true, std::memory_order_release);
  current_.store(nullptr, std::memory_order_release);
}

void TagFilter::output(const char* format, std::string_view text) const {
  LogLine::Buffer line;
  std::snprintf(line.data(), line.size(), format, int(text.size()), text.data());
  debugger_(line.data());
}

void TagFilter::rebuild(Snapshot& snapshot) const {
  snapshot.filter = snapshot.known;
  for (const auto tag : snapshot.known) output("Log tag: %.*s\n", tag);
  debugger_("-------------\n");
  for (const std::string_view spec : specs_) {
    output("Log spec: %.*s\n", spec);
    if (spec == "-*") {
      snapshot.filter.clear();
    } else if (spec.size() > 1 && spec[0] == '+') {
      insert(snapshot.filter, spec.substr(1));
    } else if (spec.size() > 1 && spec[0] == '-') {
      std::erase(snapshot.filter, spec.substr(1));
    }
  }
  for (const auto tag : snapshot.filter) output("Filtered log tag: %.*s\n", tag);
  debugger_("-------------\n");
}

}  // namespace devio
