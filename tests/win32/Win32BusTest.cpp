// The HID bus over the simulated host: enumeration with the open test as filter, arrivals and
// removals from the window, the handle registrations, and the window thread's life.
#include "devio/win32/Win32Bus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Subscriber.h"
#include "tests/win32/Win32TransportFixture.h"

namespace win32test {
namespace {

using devio::LastError;
using sim::SimulatedHidDevice;

std::vector<std::string> paths(const std::vector<std::shared_ptr<devio::IHardwareDevice>>& devices) {
  std::vector<std::string> result;
  for (const auto& device : devices) result.push_back(device->path());
  std::sort(result.begin(), result.end());
  return result;
}

// Foreign devices are present too; only the keyboard's two collections come through.
TEST_F(Win32TransportTest, EnumerationKeepsOnlyVeloCollections) {
  SimulatedHidDevice foreignVendor = SimulatedHidDevice::zephel(0xC52B, "Other");
  foreignVendor.vid = 0x046D;
  SimulatedHidDevice otherPage;
  otherPage.collections = {{0x0001, 6, 9, 9, {0x01}, 1}};
  SimulatedHidDevice twoOutputs;
  twoOutputs.collections = {{0xFF00, 2, 20, 20, {0x10, 0x11}, 1}};
  plug(foreignVendor);
  plug(otherPage);
  plug(twoOutputs);
  const int keyboard = plugKeyboard();
  LastError::set(devio::GeneralError);
  const auto found = bus->devices();
  EXPECT_EQ(LastError::get().code, devio::Success);
  std::vector<std::string> expected{host->path(keyboard, 0), host->path(keyboard, 1)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths(found), expected);
  // The filter's opens leave no handle behind.
  EXPECT_EQ(host->waitForOpenHandles(keyboard, 0, 0), 0);
}

TEST_F(Win32TransportTest, NothingPresentIsAnEmptySuccess) {
  LastError::set(devio::GeneralError);
  EXPECT_TRUE(bus->devices().empty());
  EXPECT_EQ(LastError::get().code, devio::Success);
}

TEST_F(Win32TransportTest, ArrivalsAndRemovalsReachTheSubscribers) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  const int id = plugKeyboard();
  const std::string first = host->path(id, 0);
  const std::string second = host->path(id, 1);
  EXPECT_EQ(announcements.log.entries(), (std::vector<std::string>{"+" + first, "+" + second}));
  host->unplug(id);
  const auto log = announcements.log.entries();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "-" + first);
  EXPECT_EQ(log[3], "-" + second);
}

// The read thread of an open channel waits while a collection comes and goes.
TEST_F(Win32TransportTest, ArrivalAndRemovalWhileTheReadThreadWaits) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  const int keyboard = plugKeyboard();
  auto waiting = channel(host->path(keyboard, 1));
  ASSERT_TRUE(reads.subscribe(std::shared_ptr<devio::IHardwareDevice>(waiting), devio::Direct));
  ASSERT_TRUE(waiting->open());
  const int other = plugKeyboard();
  host->unplug(other);
  EXPECT_EQ(announcements.log.entries().size(), 6u);
  EXPECT_TRUE(reads.log.entries().empty());
  ASSERT_TRUE(host->send(keyboard, 1, devio::Bytes(20, 0x11)));
  EXPECT_EQ(reads.log.waitFor(1).size(), 1u);
}

TEST_F(Win32TransportTest, ARemovalOfAPathNeverAnnouncedIsStillAnnounced) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  bus->read_failed_with_disconnect_error("\\\\?\\hid#never");
  EXPECT_EQ(announcements.log.entries(), std::vector<std::string>{"-\\\\?\\hid#never"});
}

TEST_F(Win32TransportTest, ARemovalQueryClosesTheTrackedHandleOnce) {
  const int id = plugKeyboard();
  auto collection = channel(host->path(id, 1));
  ASSERT_TRUE(collection->open());
  host->queryRemove(id);
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
  // The channel notices at its next open and makes a new handle.
  ASSERT_TRUE(collection->open());
  EXPECT_EQ(host->openHandles(id, 1), 1);
  collection->close();
  EXPECT_EQ(host->waitForOpenHandles(id, 1, 0), 0);
}

TEST_F(Win32TransportTest, VerifyDeviceExistsAnnouncesALostDevice) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  const int id = plugKeyboard();
  const std::string path = host->path(id, 1);
  EXPECT_TRUE(bus->verify_device_exists(path));
  const std::size_t before = announcements.log.entries().size();
  host->unplug(id);
  EXPECT_FALSE(bus->verify_device_exists(path));
  const auto log = announcements.log.entries();
  EXPECT_EQ(log.back(), "-" + path);
  EXPECT_GT(log.size(), before);
}

TEST(Win32BusLifeTest, TheWindowThreadStartsAgainAfterTheBusWasDestroyed) {
  auto host = std::make_shared<sim::SimulatedWin32System>();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto bus = devio::Win32Bus::create({}, [host] { return host; });
    ASSERT_NO_THROW(bus->lazyStart());
    EXPECT_NE(bus->hwnd(), nullptr);
    bus.reset();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), devio::Win32Bus::kWindowClass, &windowClass));
  }
}

// Refuses to create any window of its class.
LRESULT CALLBACK refuseCreation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) return FALSE;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(Win32BusLifeTest, AWindowThatCannotBeCreatedFailsTheStartInsteadOfHanging) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = refuseCreation;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = devio::Win32Bus::kWindowClass;
  ASSERT_TRUE(RegisterClassExW(&windowClass));
  auto host = std::make_shared<sim::SimulatedWin32System>();
  auto bus = devio::Win32Bus::create({}, [host] { return host; });
  EXPECT_TRUE(bus->devices().empty());
  EXPECT_EQ(LastError::get().code, devio::WindowCreationFailed);
  Announcements announcements;
  EXPECT_FALSE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  UnregisterClassW(devio::Win32Bus::kWindowClass, GetModuleHandleW(nullptr));
  // With the class free again the bus starts.
  EXPECT_NO_THROW(bus->lazyStart());
  EXPECT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
}

}  // namespace
}  // namespace win32test
