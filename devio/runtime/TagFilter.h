#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devio {

// Which messages the text outputs show, by tag argument. The known tags are the messages' tags
// (dash tag, else tag argument) and their tag arguments. Every new one rebuilds the filter: all
// known tags, then the "LogTags" specs applied in order ("-*" empties it, "+Name" adds, "-Name"
// removes; anything else is ignored). Each rebuild is written to the debugger output.
//
// Any thread. Messages with known tags, the hot path, take no lock and allocate nothing: they
// read the last published snapshot. A new tag takes the lock, rebuilds and publishes a new
// snapshot; the old ones stay until the filter goes, since a message in flight may read them.
class TagFilter {
 public:
  TagFilter(std::optional<std::string> specs, std::function<void(const char*)> debugger);

  // tag is the message's dash tag or else its tag argument; an empty tag is not filtered.
  // Answers whether the text outputs may show the message: its tag argument is in the filter.
  bool admits(std::string_view tag, std::string_view tagArgument);

  // From then on nothing is filtered and no tag is learnt.
  void disable();

 private:
  // Sorted views of names kept in names_ or specs_.
  struct Snapshot {
    std::vector<std::string_view> known;
    std::vector<std::string_view> filter;
  };

  // Under mutex_: the snapshot that knows both tags, rebuilt when needed; null once disabled.
  const Snapshot* learn(std::string_view tag, std::string_view tagArgument);
  void rebuild(Snapshot& snapshot) const;
  void output(const char* format, std::string_view text) const;

  const std::vector<std::string> specs_;
  const std::function<void(const char*)> debugger_;
  std::atomic<const Snapshot*> current_{nullptr};
  std::atomic<bool> disabled_{false};
  std::mutex mutex_;                 // learning a tag
  std::deque<std::string> names_;    // every tag learnt; a deque keeps them in place
  std::vector<std::unique_ptr<const Snapshot>> snapshots_;  // every snapshot published
};

}  // namespace devio
