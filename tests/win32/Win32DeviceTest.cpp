// The HID channel over the simulated host: the open test with every check, the report kinds, the
// write rules, the read thread's life and close from any thread.
#include "devio/win32/Win32Device.h"

#include <gtest/gtest.h>

#include <atomic>

#include "devio/protocol/LastError.h"
#include "tests/win32/Win32TransportFixture.h"

namespace win32test {
namespace {

using devio::Bytes;
using devio::ErrorCode;
using devio::LastError;
using sim::SimulatedHidDevice;

struct OpenCase {
  const char* what;
  std::function<void(SimulatedHidDevice&)> change;
  ErrorCode error;
  std::uint32_t detail;
};

SimulatedHidDevice oneCollection(std::uint16_t page, std::uint16_t usage) {
  SimulatedHidDevice device;
  device.collections = {{page, usage, 20, 20, {0x11}, 1}};
  return device;
}

// Each collection that is not one of the maker's Velo collections is refused with its own code.
TEST_F(Win32TransportTest, OpenRefusesEveryCollectionThatIsNotAVeloCollection) {
  const OpenCase cases[] = {
      {"another vendor", [](SimulatedHidDevice& d) { d.vid = 0x046D; }, devio::ForeignDevice, 0x046D},
      {"another usage page", [](SimulatedHidDevice& d) { d.collections[0].usagePage = 0x0001; }, devio::NotVendorUsagePage, 0},
      {"usage 3", [](SimulatedHidDevice& d) { d.collections[0].usage = 3; }, devio::UnsupportedInterface, 0},
      {"two output capabilities", [](SimulatedHidDevice& d) { d.collections[0].reportIds = {0x10, 0x11}; },
       devio::UnsupportedInterface, 0},
      {"no input capability", [](SimulatedHidDevice& d) { d.collections[0].inputCaps = 0; }, devio::UnsupportedInterface, 0},
      {"mismatched lengths", [](SimulatedHidDevice& d) { d.collections[0].inputLength = 7; }, devio::UnsupportedInterface, 0},
      {"0xFF43 usage with two bits", [](SimulatedHidDevice& d) { d.collections[0] = {0xFF43, 0x0606, 20, 20, {0x11}, 1}; },
       devio::UnsupportedInterface, 0},
      {"0xFF43 bit not in the device's kinds", [](SimulatedHidDevice& d) { d.collections[0] = {0xFF43, 0x0201, 20, 20, {0x11}, 1}; },
       devio::UnsupportedInterface, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedHidDevice device = oneCollection(0xFF00, 2);
    c.change(device);
    const int id = plug(device);
    auto collection = channel(host->path(id, 0));
    LastError::set(devio::Success);
    EXPECT_FALSE(collection->open());
    EXPECT_EQ(LastError::get().code, c.error);
    EXPECT_EQ(LastError::get().detail, c.detail);
    EXPECT_EQ(host->waitForOpenHandles(id, 0, 0), 0);  // every failure closes the handle
  }
}

TEST_F(Win32TransportTest, OpenFailsWithoutAPathOrADevice) {
  EXPECT_FALSE(channel("")->open());
  EXPECT_EQ(LastError::get().code, devio::NoDevicePath);
  EXPECT_FALSE(channel("\\\\?\\hid#nothing")->open());
  EXPECT_EQ(LastError::get().code, devio::OpenFailed);
  EXPECT_EQ(LastError::get().detail, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_STREQ(LastError::get().message, "CreateFile failed");
}

TEST_F(Win32TransportTest, ABluetoothLeCollectionOfTwoKindsIsAccepted) {
  const int id = plug(oneCollection(0xFF43, 0x0604));
  auto collection = channel(host->path(id, 0));
  ASSERT_TRUE(collection->open());
  EXPECT_EQ(collection->report_types(), 4);
  EXPECT_EQ(collection->device_report_types(), 6);
}

// The keyboard's collections: their kinds, and the parent instance they share as physical id.
TEST_F(Win32TransportTest, TheKeyboardsCollectionsShareTheirParentInstance) {
  const int id = plugKeyboard();
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    auto collection = channel(host->path(id, i));
    ASSERT_TRUE(collection->open());
    EXPECT_EQ(collection->report_types(), static_cast<int>(i + 1));
    EXPECT_EQ(collection->device_report_types(), 3);
    EXPECT_EQ(collection->report_length(), i == 0 ? 7 : 20);
    EXPECT_EQ(collection->physical_id(), host->instance(id));
    EXPECT_EQ(collection->pid(), 0x6E21);
    EXPECT_EQ(collection->name(), "Zephel");
    EXPECT_EQ(collection->bus_type(), 0);
  }
}

TEST_F(Win32TransportTest, TwoOpensMakeOneHandle) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(collection->open());
  EXPECT_EQ(host->openHandles(id, 1), 1);
  collection->close();
  collection->close();  // safe when closed
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
}

TEST_F(Win32TransportTest, AfterARemovalQueryClosedTheHandleTheNextOpenReopens) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  ASSERT_TRUE(collection->open());
  host->queryRemove(id);
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
  host->queryRemove(id);  // a second query finds the handle closed already
  ASSERT_TRUE(collection->open());
  EXPECT_EQ(host->openHandles(id, 1), 1);
}

struct PadCase {
  std::size_t collection;
  std::size_t size;
  std::size_t written;
  devio::Byte reportId;
};

// Short reports are padded to the collection's length and carry its report id.
TEST_F(Win32TransportTest, WritesArePaddedAndCarryTheCollectionsReportId) {
  const int id = plugKeyboard();
  const PadCase cases[] = {{0, 5, 7, 0x10}, {0, 7, 7, 0x10}, {1, 7, 20, 0x11}, {1, 20, 20, 0x11}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "collection " << c.collection << " size " << c.size);
    auto collection = channel(host->path(id, c.collection));
    ASSERT_TRUE(writes.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
    const std::size_t before = hostWrites.entries().size();
    ASSERT_TRUE(collection->write(Bytes(c.size, 0xAB), false));
    const auto seen = hostWrites.waitFor(before + 1);
    ASSERT_EQ(seen.size(), before + 1);
    Bytes expected(c.written, 0);
    std::fill_n(expected.begin(), c.size, 0xAB);
    expected[0] = c.reportId;
    EXPECT_EQ(seen.back().report, expected);
    EXPECT_EQ(seen.back().collection, c.collection);
    EXPECT_EQ(writes.log.entries().back().first, expected);
  }
}

struct RefusedCase {
  const char* what;
  std::size_t size;
  bool synchronous;
  ErrorCode error;
};

// Every refused write still produces exactly one Write event, with the empty report.
TEST_F(Win32TransportTest, RefusedWritesProduceOneWriteEventEach) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  ASSERT_TRUE(writes.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  const RefusedCase cases[] = {
      {"too long", 21, false, devio::WriteExceedsCollectionSize},
      {"empty", 0, false, devio::WriteTooShort},
      {"synchronous without reading", 20, true, devio::CannotPerformWriteWithoutReadThreadRunning},
  };
  std::size_t events = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(collection->write(Bytes(c.size, 0x11), c.synchronous));
    EXPECT_EQ(LastError::get().code, c.error);
    const auto seen = writes.log.entries();
    ASSERT_EQ(seen.size(), ++events);
    EXPECT_TRUE(seen.back().first.empty());
    EXPECT_EQ(seen.back().second, c.error);
  }
  EXPECT_TRUE(hostWrites.entries().empty());
}

TEST_F(Win32TransportTest, AWriteThatIsNeverTakenTimesOut) {
  const int id = plugKeyboard();
  host->stopAnswering(id, 1);
  auto collection = channel(host->path(id, 1));
  collection->write_timeout(std::chrono::milliseconds(200));
  ASSERT_TRUE(writes.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  EXPECT_FALSE(collection->write(Bytes(20, 0x11), false));
  EXPECT_EQ(LastError::get().code, devio::WriteTimeout);
  const auto seen = writes.log.entries();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].second, devio::WriteTimeout);
  EXPECT_EQ(seen[0].first.size(), 20u);
}

TEST_F(Win32TransportTest, ReportsAreReadInOrderOnceSubscribed) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  ASSERT_TRUE(collection->open());  // reading starts with the open of a subscribed channel
  for (devio::Byte i = 1; i <= 3; ++i) ASSERT_TRUE(host->send(id, 1, Bytes(20, i)));
  const auto seen = reads.log.waitFor(3);
  ASSERT_EQ(seen.size(), 3u);
  for (devio::Byte i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i].report, Bytes(20, i + 1));
    EXPECT_EQ(seen[i].systemError, 0u);
  }
  // A synchronous write now has a read thread to deliver its answer.
  EXPECT_TRUE(collection->write(Bytes(20, 0x11), true));
}

// The collection vanishes while the read thread waits: one last empty read with 1167, and the
// bus announces the removal.
TEST_F(Win32TransportTest, AnUnpluggedCollectionEndsReadingWithDeviceNotConnected) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  const int id = plugKeyboard();
  const std::string path = host->path(id, 1);
  auto collection = channel(path);
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  host->unplug(id);
  const auto seen = reads.log.waitFor(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].report.empty());
  EXPECT_EQ(seen[0].systemError, static_cast<unsigned>(ERROR_DEVICE_NOT_CONNECTED));
  const auto log = announcements.log.entries();
  EXPECT_NE(std::find(log.begin(), log.end(), "-" + path), log.end());
  EXPECT_FALSE(collection->open());
  EXPECT_EQ(LastError::get().code, devio::DeviceRemoved);
  EXPECT_FALSE(collection->verify_connection_following_timeout());
}

TEST_F(Win32TransportTest, CloseFromTheReadThreadDetachesIt) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  reads.onEach = [&](const Bytes&) { collection->close(); };
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x11)));
  ASSERT_EQ(reads.log.waitFor(1).size(), 1u);
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
  reads.onEach = nullptr;
  // Open again: a new read thread reads the next report.
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x22)));
  EXPECT_EQ(reads.log.waitFor(2).size(), 2u);
}

// A handler that closes and opens the channel again: the detached run ends without reading the
// old handle again, and the new run alone reads.
TEST_F(Win32TransportTest, AChannelReopenedFromItsReadThreadHasOneReader) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  std::atomic<bool> reopened{false};
  reads.onEach = [&](const Bytes&) {
    if (reopened.exchange(true)) return;
    collection->close();
    collection->open();
  };
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x11)));
  ASSERT_EQ(reads.log.waitFor(1).size(), 1u);
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 1), 1);
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x22)));
  const auto seen = reads.log.waitFor(2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].report, Bytes(20, 0x22));
  EXPECT_EQ(seen[1].systemError, 0u);
  // The new run still reads: a synchronous write has its read thread.
  EXPECT_TRUE(collection->write(Bytes(20, 0x33), true));
  EXPECT_EQ(reads.log.entries().size(), 2u);
}

// A handler may let go of the last reference to the channel (as a combiner does with a piece that
// was unplugged): the channel is destroyed on its own read thread, which detaches and ends.
TEST_F(Win32TransportTest, AReadHandlerMayDropTheLastReferenceToTheChannel) {
  const int id = plugKeyboard();
  std::shared_ptr<devio::Win32Device> holder = channel(host->path(id, 1));
  const std::weak_ptr<devio::Win32Device> weak = holder;
  reads.onEach = [&](const Bytes&) { holder.reset(); };
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(holder), devio::Direct));
  ASSERT_TRUE(holder->open());
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x11)));
  ASSERT_EQ(reads.log.waitFor(1).size(), 1u);
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
  EXPECT_TRUE(weak.expired());
  reads.onEach = nullptr;
}

TEST_F(Win32TransportTest, ASynchronousWriteFromTheReadThreadIsRefused) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  std::atomic<int> refusal{-1};
  reads.onEach = [&](const Bytes&) {
    collection->write(Bytes(20, 0x11), true);
    refusal = static_cast<int>(LastError::get().code);
  };
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(collection), devio::Direct));
  ASSERT_TRUE(collection->open());
  ASSERT_TRUE(host->send(id, 1, Bytes(20, 0x11)));
  ASSERT_EQ(reads.log.waitFor(1).size(), 1u);
  EXPECT_EQ(refusal, static_cast<int>(devio::CannotPerformBlockingWriteOnReadThread));
  reads.onEach = nullptr;
}

}  // namespace
}  // namespace win32test
