// The GATT bus and device over the simulated host: enumeration of the Velo GATT service, arrivals
// and removals, the reports built from values and the values written for reports, and a Velo
// device answering a feature request through the characteristic.
#include "devio/win32/GattBus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/Device.h"
#include "devio/protocol/LastError.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/win32/GattDevice.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"
#include "tests/win32/Win32TransportFixture.h"

namespace win32test {
namespace {

using devio::Bytes;
using devio::GattDevice;

class GattBusTest : public Win32TransportTest {
 protected:
  void SetUp() override {
    bus = devio::Win32Bus::create(manager, [host = host] { return host; });
    ASSERT_EQ(bus->secondary_buses().size(), 1u);  // item 2 is on by default
    gatt = std::dynamic_pointer_cast<devio::GattBus>(bus->secondary_buses().front());
    ASSERT_TRUE(gatt);
  }
  void TearDown() override { gatt.reset(); }

  std::shared_ptr<GattDevice> onlyDevice() {
    const auto found = gatt->devices();
    return found.size() == 1 ? std::dynamic_pointer_cast<GattDevice>(found.front()) : nullptr;
  }

  Log<Bytes> values;  // what the host wrote to the characteristic
  std::shared_ptr<devio::DeviceManager> manager = devio::DeviceManager::create();
  std::shared_ptr<devio::GattBus> gatt;
};

TEST_F(GattBusTest, WithoutAGattDeviceTheListIsEmptyAndSucceeds) {
  devio::LastError::set(devio::GeneralError);
  EXPECT_TRUE(gatt->devices().empty());
  EXPECT_EQ(devio::LastError::get().code, devio::Success);
}

TEST_F(GattBusTest, DevicesArriveAndLeaveThroughDeviceChangeMessages) {
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<devio::IHardwareBus>(gatt), devio::Direct));
  const int id = host->plugGatt(0xB35B, false, {});
  const std::string path = host->gattPath(id);
  host->unplugGatt(id);
  EXPECT_EQ(announcements.log.entries(), (std::vector<std::string>{"+" + path, "-" + path}));
  // A removal with a handle header only logs.
  DEV_BROADCAST_HANDLE header{};
  header.dbch_size = sizeof header;
  header.dbch_devicetype = DBT_DEVTYP_HANDLE;
  gatt->process_wm_devicechange(DBT_DEVICEREMOVECOMPLETE, &header);
  EXPECT_EQ(announcements.log.entries().size(), 2u);
}

struct LibraryCase {
  const char* what;
  bool servedDevice;  // a second device the library serves
};

TEST_F(GattBusTest, ADeviceTheBluetoothLibraryCannotServeIsLeftOutWithoutFailingTheList) {
  const LibraryCase cases[] = {{"only that device", false}, {"beside a served one", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int lost = host->plugGatt(0xB35B, false, {});
    host->loseGattLibrary(lost);
    const int served = c.servedDevice ? host->plugGatt(0xB35C, false, {}) : 0;
    devio::LastError::set(devio::GeneralError);
    const auto found = gatt->devices();
    EXPECT_EQ(devio::LastError::get().code, devio::Success);
    ASSERT_EQ(found.size(), c.servedDevice ? 1u : 0u);
    if (c.servedDevice) {
      EXPECT_EQ(found.front()->path(), host->gattPath(served));
    } else {
      // The wired devices' start does not wait for a GATT bus that cannot serve its device.
      EXPECT_TRUE(manager->addBus(gatt));
      manager->removeBus(gatt);
    }
    host->unplugGatt(lost);
    if (c.servedDevice) host->unplugGatt(served);
  }
}

TEST_F(GattBusTest, TheFirstOpenReadsTheValuesAndOneThatCannotBeReadDoesNotFailIt) {
  struct {
    const char* what;
    bool unreadable;
    int queries;  // the characteristic's and the descriptor's: size, then value, while readable
  } const cases[] = {{"readable", false, 4}, {"unreadable", true, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int id = host->plugGatt(0xB35B, false, {});
    if (c.unreadable) host->makeGattUnreadable(id);
    const auto device = onlyDevice();
    ASSERT_TRUE(device);
    EXPECT_EQ(host->gattValueQueries(id), c.queries);
    device->close();
    EXPECT_TRUE(device->open());
    EXPECT_EQ(host->gattValueQueries(id), c.queries);  // the layout is read once
    host->unplugGatt(id);
  }
}

struct ValueCase {
  bool fixedLength;
  Bytes value;
  Bytes report;  // before padding to 20
};

TEST(GattReports, ShortValuesMakeShortReportsAndLongerOnesLongReports) {
  const ValueCase cases[] = {
      {false, {0x02, 0x1A, 0x05}, {0x10, 0xFF, 0x02, 0x1A, 0x05}},
      {false, {1, 2, 3, 4, 5, 6, 7}, {0x10, 0xFF, 1, 2, 3, 4, 5, 6, 7}},
      {false, {1, 2, 3, 4, 5, 6, 7, 8}, {0x11, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}},
      {true, {0xFF, 0x02, 0x1A, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x11, 0xFF, 0x02, 0x1A, 5}},
  };
  for (const auto& c : cases) {
    Bytes expected = c.report;
    expected.resize(20, 0);
    EXPECT_EQ(GattDevice::reportFromValue(c.value, c.fixedLength), expected) << c.value.size();
  }
}

TEST(GattReports, ValuesWrittenForReports) {
  const Bytes shortRequest{0x10, 0xFF, 0x02, 0x1A, 0x00, 0x00, 0x00};
  EXPECT_EQ(GattDevice::valueFromReport(shortRequest, false), (Bytes{0x02, 0x1A}));
  EXPECT_EQ(GattDevice::valueFromReport({0x10, 0xFF, 0x00, 0x00}, false), (Bytes{0x00}));  // one byte stays
  Bytes fixed(19, 0);
  fixed[0] = 0xFF;
  fixed[1] = 0x02;
  fixed[2] = 0x1A;
  EXPECT_EQ(GattDevice::valueFromReport(shortRequest, true), fixed);
}

TEST_F(GattBusTest, WritesAreCheckedAndEachCompletesOnce) {
  host->plugGatt(0xB35B, false, [this](const Bytes& value) { values.add(value); });
  const auto device = onlyDevice();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->pid(), 0xB35B);
  EXPECT_EQ(device->bus_type(), 4);
  ASSERT_TRUE(writes.subscribe(std::shared_ptr<devio::IHardwareDevice>(device), devio::Direct));
  struct Refusal {
    Bytes report;
    bool synchronous;
    devio::ErrorCode code;
  };
  const Refusal refusals[] = {{{0x10}, false, devio::WriteTooShort},
                              {Bytes(21, 0x11), false, devio::WriteExceedsCollectionSize},
                              {{0x10, 0xFF, 0x02, 0x1A}, true, devio::CannotPerformWriteWithoutReadThreadRunning}};
  for (const auto& r : refusals) {
    EXPECT_FALSE(device->write(r.report, r.synchronous));
    EXPECT_EQ(devio::LastError::get().code, r.code);
  }
  EXPECT_TRUE(device->write({0x10, 0xFF, 0x02, 0x1A, 0x05, 0x00, 0x00}, false));
  EXPECT_EQ(values.entries(), std::vector<Bytes>{(Bytes{0x02, 0x1A, 0x05})});
  const auto completions = writes.log.entries();
  ASSERT_EQ(completions.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(completions[i].first.empty());
  EXPECT_EQ(completions[3].second, devio::Success);
}

// The simulated Velo device behind the characteristic: the host's values become its requests, its
// answers come back as value-changed events.
class VeloBehindGatt final : public devio::Subscriber<devio::IHardwareDevice::Read> {
 public:
  VeloBehindGatt(std::shared_ptr<sim::SimulatedWin32System> host) : host_(std::move(host)) {
    inner_->plug(channel_);
    subscribe(std::shared_ptr<devio::IHardwareDevice>(channel_), devio::Direct);
    id_ = host_->plugGatt(0xB35B, false, [this](const Bytes& value) {
      Bytes request{static_cast<devio::Byte>(value.size() > 5 ? 0x11 : 0x10), 0xFF};
      request.insert(request.end(), value.begin(), value.end());
      request.resize(value.size() > 5 ? 20 : 7, 0);
      channel_->write(request, false);
    });
  }
  ~VeloBehindGatt() override { unsubscribe_all(); }
  void onRead(Bytes report, bool, unsigned, unsigned) override {
    if (report.size() > 2) host_->notifyGatt(id_, Bytes(report.begin() + 2, report.end()));
  }

 private:
  const std::shared_ptr<sim::SimulatedWin32System> host_;
  std::shared_ptr<sim::SimulatedBus> inner_ = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedChannel> channel_ = sim::SimulatedChannel::create();
  std::shared_ptr<sim::SimulatedVeloDevice> velo_ = sim::SimulatedVeloDevice::create(channel_);
  int id_ = 0;
};

TEST_F(GattBusTest, AGattDeviceIsFoundOpenedAndAnswersAFeatureRequest) {
  VeloBehindGatt velo(host);
  const auto channel = onlyDevice();
  ASSERT_TRUE(channel);
  auto device = std::make_shared<devio::Device>(manager, channel);
  device->initDevice(manager);
  EXPECT_TRUE(device->connected());
  EXPECT_NE(device->feature_by_id(0x0003), nullptr);
  EXPECT_EQ(devio::LastError::get().code, devio::Success);
  device->uninitDevice();
}

}  // namespace
}  // namespace win32test
