#include "sim/SimulatedChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBluetoothBus.h"
#include "sim/SimulatedBus.h"
#include "tests/support/WaitUntilReleased.h"

namespace {

using devio::Bytes;
using devio::IHardwareBus;
using devio::IHardwareDevice;
using devio::LastError;
using sim::SimulatedBus;
using sim::SimulatedChannel;

struct Received {
  Bytes report;
  unsigned systemError;
  unsigned length;
};

// Collects reads (on the read thread); a test waits for them with a generous real bound.
class Reader : public devio::Subscriber<IHardwareDevice::Read> {
 public:
  void onRead(Bytes report, bool, unsigned systemError, unsigned length) override {
    std::lock_guard lock(mutex_);
    reads_.push_back({report, systemError, length});
    changed_.notify_all();
  }
  std::vector<Received> waitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return reads_.size() >= n; });
    return reads_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> reads_;
};

class Writes final : public devio::Subscriber<IHardwareDevice::Write> {
 public:
  void onWrite(Bytes report, devio::ErrorCode error, unsigned) override { seen.push_back({report, error}); }
  std::vector<std::pair<Bytes, devio::ErrorCode>> seen;
};

// Answers every write with the same report.
class Echo final : public sim::SimulatedPeer {
 public:
  explicit Echo(std::weak_ptr<SimulatedChannel> channel) : channel_(std::move(channel)) {}
  void onHostWrite(const Bytes& report) override {
    if (auto channel = channel_.lock()) channel->deliver(report);
  }

 private:
  std::weak_ptr<SimulatedChannel> channel_;
};

class SimulatedChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus->plug(channel);
    ASSERT_TRUE(writes.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct));
  }
  bool startReading() { return reader.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct); }

  // The subscribers outlive the channel, whose destruction joins the read thread.
  Reader reader;
  Writes writes;
  std::shared_ptr<SimulatedBus> bus = SimulatedBus::create();
  std::shared_ptr<SimulatedChannel> channel = SimulatedChannel::create();
};

struct WriteCase {
  std::size_t size;
  bool synchronous;
  bool plugged;
  devio::ErrorCode error;
};

TEST_F(SimulatedChannelTest, WritesArePaddedOrRefusedWithOneWriteEventEach) {
  const WriteCase cases[] = {
      {3, false, true, devio::Success},
      {20, false, true, devio::Success},
      {0, false, true, devio::WriteTooShort},
      {21, false, true, devio::WriteExceedsCollectionSize},
      {3, true, true, devio::CannotPerformWriteWithoutReadThreadRunning},
      {3, false, false, devio::DeviceRemoved},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " sync " << c.synchronous << " plugged " << c.plugged);
    if (!c.plugged) bus->unplug(channel);
    writes.seen.clear();
    LastError::set(devio::Success);
    EXPECT_EQ(channel->write(Bytes(c.size, 0x11), c.synchronous), c.error == devio::Success);
    EXPECT_EQ(LastError::get().code, c.error);
    ASSERT_EQ(writes.seen.size(), 1u);
    EXPECT_EQ(writes.seen[0].second, c.error);
    if (c.error == devio::Success) {
      Bytes padded(20, 0);
      std::fill_n(padded.begin(), c.size, 0x11);
      EXPECT_EQ(writes.seen[0].first, padded);
    } else {
      EXPECT_TRUE(writes.seen[0].first.empty());
    }
  }
}

TEST_F(SimulatedChannelTest, APeerAnswersThroughTheReadThreadInOrder) {
  channel->setPeer(std::make_shared<Echo>(channel));
  ASSERT_TRUE(startReading());
  EXPECT_TRUE(channel->isReading());
  ASSERT_TRUE(channel->write({0x10, 0x01}, true));
  ASSERT_TRUE(channel->write({0x11, 0x02}, false));
  const auto reads = reader.waitFor(2);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].report.size(), 20u);
  EXPECT_EQ(reads[0].report[1], 0x01);
  EXPECT_EQ(reads[0].length, 20u);
  EXPECT_EQ(reads[0].systemError, 0u);
  EXPECT_EQ(reads[1].report[1], 0x02);
}

// Latency holds reports back in both directions without reordering them, and a report still on its
// way when the device is pulled is read before reading ends.
TEST_F(SimulatedChannelTest, LatencyKeepsTheOrderOfReports) {
  Reader slowReader;  // outlives the channel, which joins its read thread
  SimulatedChannel::Config config;
  config.latency = std::chrono::milliseconds(2);
  const auto slow = SimulatedChannel::create(config);
  bus->plug(slow);
  slow->setPeer(std::make_shared<Echo>(slow));
  ASSERT_TRUE(slowReader.subscribe(std::shared_ptr<IHardwareDevice>(slow), devio::Direct));
  for (devio::Byte i = 1; i <= 6; ++i) ASSERT_TRUE(slow->write({0x10, i}, i % 2 == 0));
  slow->deliver({0x10, 7});
  bus->unplug(slow);
  const auto reads = slowReader.waitFor(8);
  ASSERT_EQ(reads.size(), 8u);
  for (devio::Byte i = 1; i <= 7; ++i) EXPECT_EQ(reads[i - 1].report[1], i);
  EXPECT_TRUE(reads[7].report.empty());
  EXPECT_EQ(reads[7].systemError, 1167u);
}

TEST_F(SimulatedChannelTest, ReadingRunsWhileReadHasSubscribers) {
  EXPECT_FALSE(channel->isReading());
  ASSERT_TRUE(startReading());
  Reader second;
  ASSERT_TRUE(second.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct));
  reader.unsubscribe(std::shared_ptr<IHardwareDevice>(channel));
  EXPECT_TRUE(channel->isReading());
  second.unsubscribe(std::shared_ptr<IHardwareDevice>(channel));
  EXPECT_FALSE(channel->isReading());
  EXPECT_FALSE(channel->write({0x10}, true));
  EXPECT_EQ(LastError::get().code, devio::CannotPerformWriteWithoutReadThreadRunning);

  ASSERT_TRUE(startReading());
  channel->deliver({0x10, 0x05});
  EXPECT_EQ(reader.waitFor(1).at(0).report, (Bytes{0x10, 0x05}));
}

// Tries a synchronous and then an ordinary write from its read handler.
class WritingReader final : public Reader {
 public:
  void onRead(Bytes report, bool selfIndex, unsigned systemError, unsigned length) override {
    if (auto target = channel.lock(); target && !report.empty() && report[0] == 0x10) {
      syncWritten = target->write({0x11}, true);
      syncError = LastError::get().code;
      asyncWritten = target->write({0x11}, false);
    }
    Reader::onRead(report, selfIndex, systemError, length);
  }
  std::weak_ptr<SimulatedChannel> channel;
  bool syncWritten = true;
  devio::ErrorCode syncError = devio::Success;
  bool asyncWritten = false;
};

TEST_F(SimulatedChannelTest, ASynchronousWriteOnTheReadThreadIsRefused) {
  WritingReader handler;
  handler.channel = channel;
  ASSERT_TRUE(handler.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct));
  channel->deliver({0x10});
  handler.waitFor(1);
  handler.unsubscribe(std::shared_ptr<IHardwareDevice>(channel));  // joins: the handler's results are final
  EXPECT_FALSE(handler.syncWritten);
  EXPECT_EQ(handler.syncError, devio::CannotPerformBlockingWriteOnReadThread);
  EXPECT_TRUE(handler.asyncWritten);
}

TEST_F(SimulatedChannelTest, PullingEndsReadingAfterTheDeliveredReports) {
  ASSERT_TRUE(startReading());
  channel->deliver({0x10, 1});
  channel->deliver({0x10, 2});
  bus->unplug(channel);
  channel->deliver({0x10, 3});  // the device is gone: dropped
  const auto reads = reader.waitFor(3);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[1].report, (Bytes{0x10, 2}));
  EXPECT_TRUE(reads[2].report.empty());
  EXPECT_EQ(reads[2].systemError, 1167u);
  EXPECT_EQ(reads[2].length, 0u);
  EXPECT_FALSE(channel->open());
  EXPECT_EQ(LastError::get().code, devio::DeviceRemoved);
  EXPECT_FALSE(channel->connected());
}

TEST_F(SimulatedChannelTest, OpeningCanBeMadeToFail) {
  EXPECT_TRUE(channel->open());
  EXPECT_TRUE(channel->isOpen());
  channel->close();
  EXPECT_FALSE(channel->isOpen());

  SimulatedChannel::Config config;
  config.openFails = true;
  auto broken = SimulatedChannel::create(config);
  bus->plug(broken);
  EXPECT_FALSE(broken->open());
  EXPECT_EQ(LastError::get().code, devio::OpenFailed);
  EXPECT_FALSE(broken->write({0x10}, false));
  EXPECT_EQ(LastError::get().code, devio::OpenFailed);
}

TEST_F(SimulatedChannelTest, IdentityComesFromTheConfiguration) {
  SimulatedChannel::Config config;
  config.pid = 0x9D14;
  config.name = "Zephel";
  config.path = "sim://zephel";
  config.busType = 1;
  config.linkIndex = 2;
  config.reportLength = 7;
  auto other = SimulatedChannel::create(config);
  EXPECT_EQ(other->pid(), 0x9D14);
  EXPECT_EQ(other->name(), "Zephel");
  EXPECT_EQ(other->path(), "sim://zephel");
  EXPECT_EQ(other->physical_id(), "sim://zephel");
  EXPECT_EQ(other->bus_type(), 1);
  EXPECT_EQ(other->link_index(), 2);
  EXPECT_EQ(other->report_length(), 7);
  EXPECT_TRUE(other->bus().expired());
  EXPECT_EQ(channel->bus().lock(), std::shared_ptr<IHardwareBus>(bus));
}

// Holds the only reference to its channel and drops it from the Read handler.
class LastReader final : public Reader {
 public:
  void onRead(Bytes report, bool selfIndex, unsigned systemError, unsigned length) override {
    owned.reset();
    Reader::onRead(report, selfIndex, systemError, length);
  }
  std::shared_ptr<SimulatedChannel> owned;
};

TEST(SimulatedChannelReleaseTest, AChannelReleasedOnItsReadThreadEndsReadingThere) {
  LastReader reader;
  auto bus = SimulatedBus::create();
  auto channel = SimulatedChannel::create();
  const std::weak_ptr<SimulatedChannel> weak = channel;
  channel->plugInto(bus);  // plugged, but the bus does not hold it
  ASSERT_TRUE(reader.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct));
  SimulatedChannel* raw = channel.get();
  reader.owned = std::move(channel);
  raw->deliver({0x10, 0x01});
  ASSERT_EQ(reader.waitFor(1).size(), 1u);
  // The read thread lets the channel go once its production is over; nothing else holds it.
  EXPECT_TRUE(testsupport::waitUntilReleased(weak));
}

class Links final : public devio::Subscriber<IHardwareDevice::Connect> {
 public:
  void onConnect(std::shared_ptr<IHardwareDevice>) override { seen.push_back(true); }
  void onDisconnect(std::shared_ptr<IHardwareDevice>) override { seen.push_back(false); }
  std::vector<bool> seen;
};

TEST_F(SimulatedChannelTest, LinkChangesAreAnnounced) {
  Links links;
  ASSERT_TRUE(links.subscribe(std::shared_ptr<IHardwareDevice>(channel), devio::Direct));
  EXPECT_TRUE(channel->connected());
  channel->setConnected(false);
  EXPECT_FALSE(channel->connected());
  channel->setConnected(true);
  EXPECT_EQ(links.seen, (std::vector<bool>{false, true}));
}

// Records bus events and the thread they came on.
class BusEvents final : public devio::Subscriber<IHardwareBus::PlugUnplug> {
 public:
  void onPlug(std::shared_ptr<IHardwareDevice> device) override { record("plug " + device->path()); }
  void onUnplug(std::shared_ptr<IHardwareDevice> device) override { record("unplug " + device->path()); }
  void onPowerChange(bool standBy) override { record(standBy ? "standby" : "resume"); }
  void record(std::string what) {
    seen.push_back(std::move(what));
    threads.push_back(std::this_thread::get_id());
  }
  std::vector<std::string> seen;
  std::vector<std::thread::id> threads;
};

TEST(SimulatedBusTest, AnnouncesOnTheCallingThreadAndEnumeratesWhatIsPlugged) {
  auto bus = SimulatedBus::create();
  BusEvents events;
  ASSERT_TRUE(events.subscribe(std::shared_ptr<IHardwareBus>(bus), devio::Direct));
  auto channel = SimulatedChannel::create();
  bus->plug(channel);
  EXPECT_EQ(bus->devices(), (std::vector<std::shared_ptr<IHardwareDevice>>{channel}));
  bus->powerChange(true);
  bus->powerChange(false);
  bus->unplug(channel);
  EXPECT_TRUE(bus->devices().empty());
  EXPECT_EQ(LastError::get().code, devio::Success);
  EXPECT_EQ(events.seen, (std::vector<std::string>{"plug sim://device", "standby", "resume", "unplug sim://device"}));
  for (const auto& id : events.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(SimulatedBusTest, ReportsWhatTheTestConfigures) {
  auto bus = SimulatedBus::create();
  bus->plug(SimulatedChannel::create());
  bus->failEnumeration(devio::EnumerationFailed);
  EXPECT_TRUE(bus->devices().empty());
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);
  bus->failEnumeration(devio::Success);
  EXPECT_EQ(bus->devices().size(), 1u);
  EXPECT_EQ(bus->enumerations(), 2);

  EXPECT_FALSE(bus->wants_combiner());
  EXPECT_TRUE(bus->bluetooth_buses().empty());
  EXPECT_TRUE(bus->secondary_buses().empty());
  bus->setWantsCombiner(true);
  bus->setBluetoothBuses({sim::SimulatedBluetoothBus::create()});
  auto secondary = SimulatedBus::create();
  bus->addSecondaryBus(secondary);
  EXPECT_TRUE(bus->wants_combiner());
  EXPECT_EQ(bus->bluetooth_buses().size(), 1u);
  EXPECT_EQ(bus->secondary_buses(), (std::vector<std::shared_ptr<devio::IHardwareSecondaryBus>>{secondary}));
}

}  // namespace
