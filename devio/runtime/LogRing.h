#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "devio/runtime/LogSink.h"

namespace devio {

// One ring of the log buffer: a ring of entry records and a ring of text bytes, filled without
// a lock by any number of writers and emptied by one reader at a time.
//
// A position packs (entry index, text offset) into 64 bits. Writers reserve an entry and its
// text by a compare-and-swap of the write position, fill them and set the entry's ready flag;
// the reader alone moves the read position. An entry's text is "-tag-", the function and the
// message, each ended by a zero byte; when the text would not fit before the end of the ring it
// starts at offset 0 and the bytes in between are skipped.
//
// A ring is replaced by a larger one by sealing it: a sealed ring takes no more reservations,
// so once the reader has drained it no writer touches its storage again and release() frees
// it. The ring object itself stays alive (its owner keeps it) because a late writer may still
// read its positions and see the seal.
class LogRing {
 public:
  LogRing(std::uint32_t entryCount, std::uint32_t textSize);

  enum class Put { Done, Full, Sealed };
  // Writer. Full when the entries in use would reach the count minus 2, or the text in use
  // plus skip and need plus 100 bytes would reach the size. Done calls beforeReady() after the
  // entry is filled and before its ready flag is set.
  template <typename BeforeReady>
  Put put(const LogRecord& record, BeforeReady&& beforeReady);

  enum class Take { Output, Busy, Empty };
  // Reader. Busy: the oldest entry's writer is still filling it.
  Take take(LogSink* sink);

  struct Usage {
    std::uint32_t entries;
    std::uint32_t text;
  };
  Usage usage() const;
  std::uint32_t entryCount() const { return entryCount_; }
  std::uint32_t textSize() const { return textSize_; }
  // At least a third of the entries (or of the text) in use.
  bool entriesThirdUsed(const Usage& usage) const { return usage.entries >= entryCount_ - entryThreshold_; }
  bool textThirdUsed(const Usage& usage) const { return usage.text >= textSize_ - textThreshold_; }

  // The write position now (without the seal), and the read position: equal once the reader
  // has taken everything reserved up to that write position.
  std::uint64_t writePosition() const { return writePos_.load(std::memory_order_acquire) & ~kSealed; }
  std::uint64_t readPosition() const { return readPos_.load(std::memory_order_acquire); }

  // Growth: one thread claims it, seals the ring and publishes the successor.
  bool claimGrowth() { return !growing_.exchange(true, std::memory_order_acq_rel); }
  void abandonGrowth() { growing_.store(false, std::memory_order_release); }
  bool growing() const { return growing_.load(std::memory_order_acquire); }
  void seal();
  void setNext(LogRing* next) { next_.store(next, std::memory_order_release); }
  LogRing* next() const { return next_.load(std::memory_order_acquire); }
  // Reader, once the sealed ring is drained.
  void release();

 private:
  static constexpr std::uint64_t kSealed = 1ULL << 63;

  struct Entry {
    std::uint32_t skip = 0;    // bytes skipped at the end of the text ring before this text
    std::uint32_t length = 0;  // of the text, zero bytes included
    std::int64_t timestamp = 0;
    std::uint32_t threadId = 0;
    std::int32_t level = 0;
    std::atomic<bool> ready{false};
  };

  static std::uint64_t pack(std::uint32_t entry, std::uint32_t offset) { return std::uint64_t(entry) << 32 | offset; }
  static std::uint32_t entryOf(std::uint64_t position) { return std::uint32_t(position >> 32); }
  static std::uint32_t offsetOf(std::uint64_t position) { return std::uint32_t(position); }
  Usage usage(std::uint64_t read, std::uint64_t write) const;
  // Fills a reserved entry and its text.
  void fill(std::uint32_t index, std::uint32_t skip, std::uint32_t start, std::uint32_t need, const LogRecord& record);

  const std::uint32_t entryCount_;
  const std::uint32_t entryThreshold_;
  const std::uint32_t textSize_;
  const std::uint32_t textThreshold_;
  std::unique_ptr<Entry[]> entries_;
  std::unique_ptr<char[]> text_;
  alignas(64) std::atomic<std::uint64_t> writePos_{0};
  alignas(64) std::atomic<std::uint64_t> readPos_{0};
  std::atomic<bool> growing_{false};
  std::atomic<LogRing*> next_{nullptr};
};

template <typename BeforeReady>
LogRing::Put LogRing::put(const LogRecord& record, BeforeReady&& beforeReady) {
  const std::size_t need = record.tag.size() + record.function.size() + record.message.size() + 5;
  // The read position first: it only moves towards the write position, so the pair read this
  // way never shows more free space than there is.
  for (;;) {
    std::uint64_t read = readPos_.load(std::memory_order_acquire);
    std::uint64_t write = writePos_.load(std::memory_order_acquire);
    if (write & kSealed) return Put::Sealed;
    const Usage used = usage(read, write);
    const std::uint32_t offset = offsetOf(write);
    const std::uint32_t skip = textSize_ - offset < need ? textSize_ - offset : 0;
    if (std::uint64_t(used.text) + skip + need + 100 >= textSize_ || used.entries >= entryCount_ - 2) return Put::Full;
    const std::uint32_t start = skip ? 0 : offset;
    const std::uint64_t next = pack((entryOf(write) + 1) % entryCount_, std::uint32_t((start + need) % textSize_));
    if (writePos_.compare_exchange_weak(write, next, std::memory_order_acq_rel, std::memory_order_acquire)) {
      fill(entryOf(write), skip, start, std::uint32_t(need), record);
      beforeReady();
      entries_[entryOf(write)].ready.store(true, std::memory_order_release);
      return Put::Done;
    }
  }
}

}  // namespace devio
