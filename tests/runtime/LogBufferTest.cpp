#include "devio/runtime/LogBuffer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "sim/ManualClock.h"

namespace devio {
namespace {

// Records what reaches the file side.
class RecordingSink final : public LogSink {
 public:
  void write(const LogRecord& record) override {
    std::lock_guard lock(mutex_);
    records_.push_back({record.threadId, std::string(record.tag), std::string(record.function),
                        std::string(record.message)});
    changed_.notify_all();
  }
  void flush() override {
    std::lock_guard lock(mutex_);
    ++flushes_;
    changed_.notify_all();
  }

  struct Record {
    unsigned threadId;
    std::string tag, function, message;
  };
  std::vector<Record> records() {
    std::lock_guard lock(mutex_);
    return records_;
  }
  std::vector<std::string> messages() {
    std::vector<std::string> result;
    for (const auto& record : records()) result.push_back(record.message);
    return result;
  }
  int flushes() {
    std::lock_guard lock(mutex_);
    return flushes_;
  }
  // The bound matters only to a hung log thread.
  bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
      lock.unlock();
      const bool result = done();
      lock.lock();
      return result;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Record> records_;
  int flushes_ = 0;
};

class LogBufferTest : public testing::Test {
 protected:
  std::unique_ptr<LogBuffer> make(LogBuffer::Options options, bool selfLogSucceeds = true) {
    return std::make_unique<LogBuffer>(std::move(options), sink_, clock_,
                                       [this, selfLogSucceeds](int, const char*, const char* text) {
                                         std::lock_guard lock(mutex_);
                                         selfLog_.emplace_back(text);
                                         return selfLogSucceeds;
                                       });
  }
  static LogBuffer::Options small(std::uint32_t entries, std::uint32_t text, std::uint32_t maxEntries,
                                  std::uint32_t maxText) {
    LogBuffer::Options options;
    options.entries = entries;
    options.text = text;
    options.maxEntries = maxEntries;
    options.maxText = maxText;
    options.thread = false;
    return options;
  }
  static bool put(LogBuffer& buffer, const std::string& message) {
    return buffer.put({0, 1, 2, "Test", "devio::Test::run", message});
  }
  std::vector<std::string> selfLog() {
    std::lock_guard lock(mutex_);
    return selfLog_;
  }
  bool selfLogged(const std::string& prefix) {
    for (const auto& line : selfLog())
      if (line.starts_with(prefix)) return true;
    return false;
  }

  const std::shared_ptr<RecordingSink> sink_ = std::make_shared<RecordingSink>();
  const std::shared_ptr<sim::ManualClock> clock_ = std::make_shared<sim::ManualClock>();
  std::mutex mutex_;
  std::vector<std::string> selfLog_;
};

std::vector<std::string> numbered(int count) {
  std::vector<std::string> messages;
  for (int i = 0; i < count; ++i) messages.push_back("message " + std::to_string(i));
  return messages;
}

TEST_F(LogBufferTest, WriterGrowsAFullRingInsteadOfLosingMessages) {
  auto buffer = make(small(8, 4096, 1000, 100000));
  for (const auto& message : numbered(50)) ASSERT_TRUE(put(*buffer, message));
  EXPECT_TRUE(selfLogged("xLog enlarged buffer from 8/4096 to 24/8192, currently using 6/"));
  buffer->flush();
  EXPECT_EQ(sink_->messages(), numbered(50));
  EXPECT_TRUE(selfLogged("xLog deleting old log buffer containing 8/4096"));
  EXPECT_EQ(sink_->flushes(), 1);
  const auto record = sink_->records().front();
  EXPECT_EQ(record.tag, "Test");
  EXPECT_EQ(record.function, "devio::Test::run");
}

TEST_F(LogBufferTest, ReaderGrowsTheRingWhenAThirdIsUsed) {
  auto buffer = make(small(30, 100000, 1000, 1000000));
  for (const auto& message : numbered(10)) ASSERT_TRUE(put(*buffer, message));
  EXPECT_TRUE(selfLog().empty());
  buffer->flush();
  EXPECT_TRUE(selfLogged("xLog enlarged buffer from 30/100000 to 90/200000, currently using 10/"));
  EXPECT_EQ(sink_->messages(), numbered(10));
}

TEST_F(LogBufferTest, FullRingAtItsLimitLosesAndTheNextWriterReports) {
  auto buffer = make(small(8, 4096, 8, 4096));
  for (const auto& message : numbered(6)) ASSERT_TRUE(put(*buffer, message));
  EXPECT_FALSE(put(*buffer, "lost"));
  buffer->flush();
  ASSERT_TRUE(put(*buffer, "after"));
  EXPECT_EQ(selfLog(), std::vector<std::string>{"xLog overrun detected by reader, lost 1 messages around this time"});
  buffer->flush();
  auto expected = numbered(6);
  expected.push_back("after");
  EXPECT_EQ(sink_->messages(), expected);
}

TEST_F(LogBufferTest, LostOverrunLineKeepsTheCount) {
  auto buffer = make(small(8, 4096, 8, 4096), false);
  for (const auto& message : numbered(7)) put(*buffer, message);
  buffer->flush();
  put(*buffer, "a");
  put(*buffer, "b");
  EXPECT_EQ(selfLog(), std::vector<std::string>(2, "xLog overrun detected by reader, lost 1 messages around this time"));
}

TEST_F(LogBufferTest, LogThreadWritesFlushesWhenIdleAndShutsDown) {
  int started = 0, aboutToJoin = 0;
  LogBuffer::Options options;
  options.threadStarted = [&] { ++started; };
  options.aboutToJoin = [&] { ++aboutToJoin; };
  auto buffer = make(options);
  for (const auto& message : numbered(3)) ASSERT_TRUE(put(*buffer, message));
  ASSERT_TRUE(sink_->waitFor([&] { return sink_->records().size() == 3; }));
  EXPECT_EQ(started, 1);
  EXPECT_EQ(sink_->flushes(), 0);

  // Idle for 10000 ms on the log thread's clock: the file is flushed. (The clock may move
  // before the thread starts waiting; then it waits for the next move.)
  for (int attempt = 0; attempt < 1000 && sink_->flushes() == 0; ++attempt) {
    clock_->advanceMs(10000);
    sink_->waitFor([&] { return sink_->flushes() > 0; }, std::chrono::milliseconds(50));
  }
  EXPECT_GT(sink_->flushes(), 0);

  ASSERT_TRUE(buffer->shutdown());
  EXPECT_EQ(aboutToJoin, 1);
  // The log thread may end before or after the joining line.
  EXPECT_THAT(selfLog(), testing::UnorderedElementsAre("_shutdown set to true", "notifying logging thread of shutdown",
                                                       "joining log thread", "log thread exiting"));
  EXPECT_EQ(selfLog().at(0), "_shutdown set to true");
  // From now on each message is written at once.
  const int flushes = sink_->flushes();
  ASSERT_TRUE(put(*buffer, "direct"));
  EXPECT_EQ(sink_->messages().back(), "direct");
  EXPECT_EQ(sink_->flushes(), flushes + 1);
  EXPECT_FALSE(buffer->shutdown());
  EXPECT_EQ(selfLog().back(), "already shut down");
}

TEST_F(LogBufferTest, ShutdownWritesWhatIsBufferedEvenWithoutLogThread) {
  auto buffer = make(small(30, 100000, 30, 100000));
  for (const auto& message : numbered(3)) ASSERT_TRUE(put(*buffer, message));
  ASSERT_TRUE(buffer->shutdown());
  EXPECT_EQ(sink_->messages(), numbered(3));
  EXPECT_EQ(selfLog(), (std::vector<std::string>{"_shutdown set to true", "notifying logging thread of shutdown"}));
}

// The reader's own lines go into the buffer like any other message (the Logger's do). When
// shutdown begins during one of them, that line drains the buffer again from inside the drain,
// which must leave the ring that writers use in place.
TEST_F(LogBufferTest, ShutdownDuringTheReadersOwnLineKeepsTheCurrentRing) {
  LogBuffer* self = nullptr;
  bool shutDown = false;
  LogBuffer buffer(small(8, 4096, 1000, 100000), sink_, clock_, [&](int level, const char* function, const char* text) {
    if (std::string_view(text).starts_with("xLog deleting") && !std::exchange(shutDown, true)) self->shutdown();
    return self->put({0, 1, level, "Untagged", function, text});
  });
  self = &buffer;
  for (const auto& message : numbered(10)) ASSERT_TRUE(put(buffer, message));  // grows once
  buffer.flush();
  ASSERT_TRUE(buffer.isShutdown());
  ASSERT_TRUE(put(buffer, "direct"));

  std::vector<std::string> messages;
  for (const auto& message : sink_->messages())
    if (message.starts_with("message ")) messages.push_back(message);
  EXPECT_EQ(messages, numbered(10));
  const auto written = sink_->messages();
  EXPECT_EQ(std::count_if(written.begin(), written.end(),
                          [](const std::string& m) { return m.starts_with("xLog deleting old log buffer"); }),
            1);
  EXPECT_EQ(written.back(), "direct");
}

// Writers race each other and the log thread through many growths of tiny rings.
TEST_F(LogBufferTest, ConcurrentWritersKeepEachThreadsOrder) {
  constexpr int kThreads = 4, kMessages = 5000;
  LogBuffer::Options options;
  options.entries = 16;
  options.text = 1024;
  auto buffer = make(options);
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&buffer, t] {
      for (int i = 0; i < kMessages; ++i)
        buffer->put({0, unsigned(t), 2, "Test", "devio::Test::run", std::to_string(i)});
    });
  }
  for (auto& writer : writers) writer.join();
  buffer->flush();
  std::map<unsigned, int> next;
  for (const auto& record : sink_->records()) {
    ASSERT_EQ(record.message, std::to_string(next[record.threadId]));
    ++next[record.threadId];
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[unsigned(t)], kMessages);
}

}  // namespace
}  // namespace devio
