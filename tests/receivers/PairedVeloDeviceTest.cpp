// A Bluetooth Velo 2.0 device behind the pairing filter, through the device manager: its link
// drops and returns under the same device object, and it is gone only when it is unpaired or its
// radio leaves.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/receivers/PairingCacheFile.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBluetoothBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"
#include "sim/VirtualTime.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using devio::IDevice;
using devio::IDeviceManager;
using Log = std::vector<std::string>;

const std::string kRadio = "\\\\?\\usb#vid_0a12&pid_0001#radio1";
const std::string kMouse = "\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&00021d7a_pid&b023#8&1&0000";

// Arrivals, removals and the device's link as the application sees them, through the run loop.
class ClientEvents final : public devio::Subscriber<IDeviceManager::ArrivalRemoval>,
                           public devio::Subscriber<IDevice::Connect> {
 public:
  void onDeviceArrival(std::shared_ptr<IDevice> device) override {
    log.push_back("+device");
    last = device;
  }
  void onDeviceRemoval(std::shared_ptr<IDevice>) override { log.push_back("-device"); }
  void onConnect(std::shared_ptr<IDevice>, bool) override { log.push_back("connect"); }
  void onDisconnect(std::shared_ptr<IDevice>) override { log.push_back("disconnect"); }
  bool watch(const std::shared_ptr<IDeviceManager>& manager) {
    return devio::Subscriber<IDeviceManager::ArrivalRemoval>::subscribe(manager, devio::RunLoop);
  }
  bool follow(const std::shared_ptr<IDevice>& device) { return devio::Subscriber<IDevice::Connect>::subscribe(device, devio::RunLoop); }
  Log log;
  std::shared_ptr<IDevice> last;
};

class PairedVeloDeviceTest : public testsupport::FacadeFixture {
 protected:
  void SetUp() override {
    FacadeFixture::SetUp();
    bus->setBluetoothBuses({bluetooth});
    bluetooth->addRadio(kRadio);
    clock->advance(std::chrono::hours(1));  // "the last report" is long ago
  }

  void TearDown() override {
    client.reset();
    pump.reset();
    FacadeFixture::TearDown();
  }

  // The manager starts with Bluetooth classic admitted and the cache in dir.
  void start() {
    ASSERT_TRUE(facade.config_set(IDeviceManager::bluetooth_active, true));
    facade.getimpl()->persistent_data_directory(dir.withSeparator());
    pump = std::make_unique<testsupport::RunLoopPump>();
    client = std::make_unique<ClientEvents>();
    ASSERT_TRUE(client->watch(facade.getimpl()));
  }

  // The mouse, paired on the radio with its link up; its interface is plugged.
  void switchOn() {
    if (!mouse) mouse = bluetooth->pair(kMouse, {.address = "0011:22:334455", .name = "Bt mouse", .busType = 2, .radio = kRadio});
    mouse->connect();
    sim::SimulatedChannel::Config config;
    config.path = kMouse;
    config.pid = 0xB023;
    channel = sim::SimulatedChannel::create(config);
    sim::SimulatedVeloDevice::Config velo;
    velo.clock = clock;
    peer = sim::SimulatedVeloDevice::create(channel, velo);
    vt.watch(peer);
    bus->plug(channel);
  }

  void switchOff() {
    mouse->disconnect();
    bus->unplug(channel);
  }

  Log drained() {
    pump->drain();
    return std::exchange(client->log, {});
  }

  // Asks the firmware information feature for its entity count (found on first use).
  devio::LastError featureRequest(const std::shared_ptr<IDevice>& device) {
    return vt.run([&] {
      if (!device->feature_by_id(0x0003)) return devio::LastError::get();
      devio::Bytes answer;
      const auto request = devio::velo::buildRequest(peer->featureIndex(0x0003), 0, device->swid());
      return device->sendSynchronousCommand(request, &answer, false, {}) ? devio::LastError{} : devio::LastError::get();
    });
  }

  sim::VirtualTime vt{clock};
  testsupport::TemporaryDirectory dir;
  std::shared_ptr<sim::SimulatedBluetoothBus> bluetooth = sim::SimulatedBluetoothBus::create();
  std::shared_ptr<sim::SimulatedBluetoothDevice> mouse;
  std::shared_ptr<sim::SimulatedChannel> channel;
  std::shared_ptr<sim::SimulatedVeloDevice> peer;
  std::unique_ptr<testsupport::RunLoopPump> pump;
  std::unique_ptr<ClientEvents> client;
};

TEST_F(PairedVeloDeviceTest, TheDeviceStaysOneObjectWhileItsLinkDropsAndReturns) {
  start();
  switchOn();
  ASSERT_EQ(drained(), Log{"+device"});
  const auto device = client->last;
  ASSERT_TRUE(client->follow(device));
  EXPECT_EQ(featureRequest(device).code, devio::Success);

  mouse->disconnect();
  EXPECT_EQ(drained(), Log{"disconnect"});
  EXPECT_FALSE(device->connected());
  const std::size_t requests = peer->requestCount();
  EXPECT_EQ(featureRequest(device).code, devio::NotConnected);
  EXPECT_EQ(peer->requestCount(), requests);  // no channel was touched

  mouse->connect();
  clock->advanceMs(1000);  // a connect soon after the last report is handled a second later
  ASSERT_TRUE(pump->waitForSignal(std::chrono::seconds(5)));
  EXPECT_EQ(drained(), Log{"connect"});
  EXPECT_TRUE(device->connected());
  EXPECT_EQ(featureRequest(device).code, devio::Success);
  EXPECT_EQ(facade.devices(), std::vector<std::shared_ptr<IDevice>>{device});

  switchOff();  // the interface goes too: still paired
  EXPECT_EQ(drained(), Log{"disconnect"});
  EXPECT_EQ(facade.devices(), std::vector<std::shared_ptr<IDevice>>{device});
  mouse->unpair();
  EXPECT_EQ(drained(), Log{"-device"});
  EXPECT_TRUE(facade.devices().empty());
}

TEST_F(PairedVeloDeviceTest, ARadioThatLeavesRemovesItsDevices) {
  start();
  switchOn();
  ASSERT_EQ(drained(), Log{"+device"});
  bluetooth->removeRadio(kRadio);
  EXPECT_EQ(drained(), Log{"-device"});
  EXPECT_TRUE(facade.devices().empty());
}

// The mouse is switched off when the manager starts again: the cache knows it, it is not a
// device, and switching it on brings it.
TEST_F(PairedVeloDeviceTest, ThePairingCacheSurvivesARestartWithTheDeviceSwitchedOff) {
  start();
  switchOn();
  ASSERT_EQ(drained(), Log{"+device"});
  switchOff();
  drained();
  facade.reset();
  client.reset();
  pump.reset();

  start();
  EXPECT_TRUE(drained().empty());
  EXPECT_TRUE(facade.devices().empty());
  const auto cached = devio::PairingCacheFile::read(dir.withSeparator() + devio::PairingCacheFile::kFileName);
  ASSERT_EQ(cached.size(), 1u);
  EXPECT_EQ(cached[0].path, kMouse);
  EXPECT_EQ(cached[0].radio, kRadio);

  switchOn();
  EXPECT_EQ(drained(), Log{"+device"});
  EXPECT_EQ(featureRequest(client->last).code, devio::Success);
}

}  // namespace
