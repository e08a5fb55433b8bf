#include "devio/runtime/LogRing.h"

#include <cstring>
#include <string_view>

namespace devio {

LogRing::LogRing(std::uint32_t entryCount, std::uint32_t textSize)
    : entryCount_(entryCount),
      entryThreshold_(entryCount / 3 * 2),
      textSize_(textSize),
      textThreshold_(textSize / 3 * 2),
      entries_(std::make_unique<Entry[]>(entryCount)),
      text_(std::make_unique_for_overwrite<char[]>(textSize)) {}

LogRing::Usage LogRing::usage(std::uint64_t read, std::uint64_t write) const {
  write &= ~kSealed;
  const std::uint32_t entries = (entryOf(write) + entryCount_ - entryOf(read)) % entryCount_;
  const std::uint32_t w = offsetOf(write), r = offsetOf(read);
  return {entries, w >= r ? w - r : textSize_ - r + w};
}

LogRing::Usage LogRing::usage() const {
  const std::uint64_t read = readPos_.load(std::memory_order_acquire);
  return usage(read, writePos_.load(std::memory_order_acquire));
}

void LogRing::fill(std::uint32_t index, std::uint32_t skip, std::uint32_t start, std::uint32_t need,
                   const LogRecord& record) {
  Entry& entry = entries_[index];
  entry.skip = skip;
  entry.length = need;
  entry.timestamp = record.timestamp;
  entry.threadId = record.threadId;
  entry.level = record.level;
  char* text = text_.get() + start;
  const auto append = [&text](std::string_view part) {
    std::memcpy(text, part.data(), part.size());
    text += part.size();
  };
  append("-");
  append(record.tag);
  append("-");
  append({"", 1});
  append(record.function);
  append({"", 1});
  append(record.message);
  append({"", 1});
}

LogRing::Take LogRing::take(LogSink* sink) {
  const std::uint64_t read = readPos_.load(std::memory_order_relaxed);  // only the reader moves it
  if (read == (writePos_.load(std::memory_order_acquire) & ~kSealed)) return Take::Empty;
  Entry& entry = entries_[entryOf(read)];
  if (!entry.ready.load(std::memory_order_acquire)) return Take::Busy;
  const std::uint32_t start = entry.skip ? 0 : offsetOf(read);
  const char* text = text_.get() + start;
  const std::string_view tag(text);
  const std::string_view function(tag.data() + tag.size() + 1);
  const std::string_view message(function.data() + function.size() + 1);
  if (sink) {
    sink->write({entry.timestamp, entry.threadId, entry.level, tag.substr(1, tag.size() - 2), function, message});
  }
  entry.ready.store(false, std::memory_order_relaxed);
  readPos_.store(pack((entryOf(read) + 1) % entryCount_, (start + entry.length) % textSize_),
                 std::memory_order_release);
  return Take::Output;
}

void LogRing::seal() {
  std::uint64_t write = writePos_.load(std::memory_order_acquire);
  while (!(write & kSealed) &&
         !writePos_.compare_exchange_weak(write, write | kSealed, std::memory_order_acq_rel)) {
  }
}

void LogRing::release() {
  entries_.reset();
  text_.reset();
}

}  // namespace devio
