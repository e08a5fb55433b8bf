#include "devio/receivers/CombinerBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"

namespace {

using devio::Bytes;
using devio::CombinerBus;
using devio::IHardwareBus;
using devio::IHardwareDevice;
using devio::LastError;
using sim::SimulatedBus;
using sim::SimulatedChannel;

// What the combiner announces, as "+path" / "-path", on the inner bus's thread.
class Announcements final : public devio::Subscriber<IHardwareBus::PlugUnplug> {
 public:
  void onPlug(std::shared_ptr<IHardwareDevice> device) override {
    log.push_back("+" + device->path());
    last = device;
  }
  void onUnplug(std::shared_ptr<IHardwareDevice> device) override { log.push_back("-" + device->path()); }
  std::vector<std::string> log;
  std::shared_ptr<IHardwareDevice> last;
};

// Remembers the reports a channel's device end received.
class Recorder final : public sim::SimulatedPeer {
 public:
  void onHostWrite(const Bytes& report) override { writes.push_back(report); }
  std::vector<Bytes> writes;
};

class Reader final : public devio::Subscriber<IHardwareDevice::Read> {
 public:
  void onRead(Bytes report, bool, unsigned, unsigned) override {
    std::lock_guard lock(mutex_);
    reports.push_back(report);
    changed_.notify_all();
  }
  std::vector<Bytes> waitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return reports.size() >= n; });
    return reports;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> reports;
};

class Writes final : public devio::Subscriber<IHardwareDevice::Write> {
 public:
  void onWrite(Bytes report, devio::ErrorCode error, unsigned) override { seen.push_back({report, error}); }
  std::vector<std::pair<Bytes, devio::ErrorCode>> seen;
};

// The keyboard's two collections on usage page 0xFF00: usage 1 (short reports, 7 bytes) and
// usage 2 (long reports, 20 bytes), both children of one device instance.
std::shared_ptr<SimulatedChannel> collection(int usage, const std::string& parent = "USB\\VID_1D7A&PID_6E21\\1",
                                             bool openFails = false) {
  SimulatedChannel::Config config;
  config.path = parent + "\\col0" + std::to_string(usage);
  config.physicalId = parent;
  config.reportTypes = usage;
  config.deviceReportTypes = 3;
  config.reportLength = usage == 1 ? 7 : 20;
  config.openFails = openFails;
  return SimulatedChannel::create(config);
}

class CombinerBusTest : public ::testing::Test {
 protected:
  // As the manager does: subscribe, then enumerate (which makes the combiner follow the inner bus).
  void SetUp() override {
    ASSERT_TRUE(announcements.subscribe(std::shared_ptr<IHardwareBus>(combiner), devio::Direct));
    EXPECT_TRUE(combiner->devices().empty());
  }

  // The subscribers outlive the channels, whose destruction joins their read threads.
  Announcements announcements;
  Reader reader;
  Writes writes;
  std::shared_ptr<SimulatedBus> inner = SimulatedBus::create();
  std::shared_ptr<CombinerBus> combiner = CombinerBus::create(inner, {});
  std::shared_ptr<SimulatedChannel> shortPiece = collection(1);
  std::shared_ptr<SimulatedChannel> longPiece = collection(2);
};

TEST_F(CombinerBusTest, TheSecondCollectionCompletesTheDevice) {
  inner->plug(shortPiece);
  EXPECT_TRUE(announcements.log.empty());
  inner->plug(longPiece);
  ASSERT_EQ(announcements.log, std::vector<std::string>{"+USB\\VID_1D7A&PID_6E21\\1"});
  EXPECT_EQ(announcements.last->pid(), shortPiece->pid());
  // Enumerating again finds the same combined device.
  const auto listed = combiner->devices();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], announcements.last);
}

TEST_F(CombinerBusTest, EnumerationMergesCollectionsAlreadyPresent) {
  inner->plug(longPiece);
  inner->plug(shortPiece);
  announcements.log.clear();
  auto fresh = CombinerBus::create(inner, {});
  const auto listed = fresh->devices();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0]->path(), "USB\\VID_1D7A&PID_6E21\\1");
}

TEST_F(CombinerBusTest, UnpluggingTheFirstCollectionRemovesTheCombinedDevice) {
  inner->plug(shortPiece);
  inner->plug(longPiece);
  announcements.log.clear();
  inner->unplug(longPiece);
  EXPECT_EQ(announcements.log, (std::vector<std::string>{"-" + longPiece->path(), "-USB\\VID_1D7A&PID_6E21\\1"}));
  announcements.log.clear();
  inner->unplug(shortPiece);
  EXPECT_EQ(announcements.log, std::vector<std::string>{"-" + shortPiece->path()});
  EXPECT_TRUE(combiner->devices().empty());
}

TEST_F(CombinerBusTest, ACompletePiecePassesThroughUnchanged) {
  SimulatedChannel::Config config;  // long reports only, for a device of long reports only
  config.path = "sim://complete";
  auto complete = SimulatedChannel::create(config);
  inner->plug(complete);
  ASSERT_EQ(announcements.log, std::vector<std::string>{"+sim://complete"});
  EXPECT_EQ(announcements.last, complete);
  EXPECT_EQ(combiner->devices(), std::vector<std::shared_ptr<IHardwareDevice>>{complete});
}

TEST_F(CombinerBusTest, AnArrivalThatCannotOpenIsDropped) {
  SimulatedChannel::Config config;
  config.openFails = true;
  inner->plug(SimulatedChannel::create(config));
  EXPECT_TRUE(announcements.log.empty());
}

TEST_F(CombinerBusTest, AnEnumerationErrorOfTheInnerBusIsPassedOn) {
  inner->failEnumeration(devio::EnumerationFailed);
  EXPECT_TRUE(combiner->devices().empty());
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);
}

struct RouteCase {
  std::size_t size;
  std::size_t shortWrites;
  std::size_t longWrites;
  devio::ErrorCode error;
};

// Each report goes to the first collection, in ascending report-kind order, that can carry it.
TEST_F(CombinerBusTest, WritesGoToTheCollectionThatFitsThem) {
  auto shortEnd = std::make_shared<Recorder>();
  auto longEnd = std::make_shared<Recorder>();
  shortPiece->setPeer(shortEnd);
  longPiece->setPeer(longEnd);
  inner->plug(shortPiece);
  inner->plug(longPiece);
  const auto device = announcements.last;
  ASSERT_TRUE(device);
  ASSERT_TRUE(writes.subscribe(device, devio::Direct));
  const RouteCase cases[] = {
      {7, 1, 0, devio::Success},
      {5, 1, 0, devio::Success},
      {8, 0, 1, devio::Success},
      {20, 0, 1, devio::Success},
      {21, 0, 0, devio::WriteExceedsCollectionSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size);
    shortEnd->writes.clear();
    longEnd->writes.clear();
    writes.seen.clear();
    EXPECT_EQ(device->write(Bytes(c.size, 0x10), false), c.error == devio::Success);
    EXPECT_EQ(shortEnd->writes.size(), c.shortWrites);
    EXPECT_EQ(longEnd->writes.size(), c.longWrites);
    if (c.error == devio::Success) {
      ASSERT_EQ(writes.seen.size(), 1u);
      EXPECT_EQ(writes.seen[0].first.size(), c.shortWrites ? 7u : 20u);
    } else {
      EXPECT_EQ(LastError::get().code, c.error);
      EXPECT_TRUE(writes.seen.empty());
    }
  }
}

TEST_F(CombinerBusTest, ReadsOfEveryCollectionAreTheDevicesReads) {
  inner->plug(shortPiece);
  inner->plug(longPiece);
  const auto device = announcements.last;
  ASSERT_TRUE(reader.subscribe(device, devio::Direct));
  EXPECT_TRUE(shortPiece->isReading());
  EXPECT_TRUE(longPiece->isReading());
  shortPiece->deliver({0x10, 0xFF, 1, 0, 0, 0, 0});
  const auto first = reader.waitFor(1);
  longPiece->deliver(Bytes(20, 0x11));
  const auto reports = reader.waitFor(2);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].size(), 7u);
  EXPECT_EQ(reports[1].size(), 20u);
  reader.unsubscribe(device);
  EXPECT_FALSE(shortPiece->isReading());
  EXPECT_FALSE(longPiece->isReading());
}

// A collection that arrives after the device is being read is read as well.
TEST_F(CombinerBusTest, ALatePieceOfADeviceBeingReadIsReadToo) {
  const auto extra = collection(4);
  inner->plug(shortPiece);
  inner->plug(longPiece);
  ASSERT_TRUE(reader.subscribe(announcements.last, devio::Direct));
  inner->plug(extra);
  EXPECT_TRUE(extra->isReading());
}

TEST_F(CombinerBusTest, AVanishedCollectionMakesTheDeviceUnreachable) {
  inner->plug(shortPiece);
  inner->plug(longPiece);
  const auto device = announcements.last;
  EXPECT_TRUE(device->verify_connection_following_timeout());
  shortPiece->pull();
  EXPECT_FALSE(device->verify_connection_following_timeout());
}

// An inner bus whose first enumeration waits for a piece that arrives on another thread, as the
// HID bus's enumeration waits for its window thread while that thread announces an arrival.
class ArrivalDuringEnumeration final : public IHardwareBus,
                                       public devio::Producer<IHardwareBus::PlugUnplug>,
                                       public std::enable_shared_from_this<ArrivalDuringEnumeration> {
 public:
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override {
    LastError::set(devio::Success);
    {
      std::lock_guard lock(mutex_);
      if (enumerations_++ > 0) return present_;
    }
    std::thread arrival([this] {
      for (const auto& piece : pieces) {
        std::shared_ptr<IHardwareDevice> device = piece;
        {
          std::lock_guard lock(mutex_);
          present_.push_back(device);
        }
        produce([device](PlugUnplug* s) { s->onPlug(device); }, "ArrivalDuringEnumeration::onPlug");
      }
    });
    arrival.join();
    return {};
  }
  std::vector<std::shared_ptr<SimulatedChannel>> pieces;

 private:
  std::mutex mutex_;
  int enumerations_ = 0;
  std::vector<std::shared_ptr<IHardwareDevice>> present_;
};

TEST(CombinerBusEnumerationTest, APieceArrivingDuringTheEnumerationIsMerged) {
  Announcements announcements;
  auto inner = std::make_shared<ArrivalDuringEnumeration>();
  auto bus = SimulatedBus::create();
  inner->pieces = {collection(1), collection(2)};
  for (const auto& piece : inner->pieces) piece->plugInto(bus);
  auto combiner = CombinerBus::create(inner, {});
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<IHardwareBus>(combiner), devio::Direct));
  EXPECT_EQ(combiner->devices().size(), 1u);
  EXPECT_EQ(announcements.log, std::vector<std::string>{"+USB\\VID_1D7A&PID_6E21\\1"});
}

}  // namespace
