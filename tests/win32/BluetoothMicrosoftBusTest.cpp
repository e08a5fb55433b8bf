// The Bluetooth classic bus over the simulated host: pairings read from the prefix's registry,
// radios as device interfaces with real WM_DEVICECHANGE messages, the custom radio events, and
// BluetoothGetDeviceInfo.
#include "devio/win32/BluetoothMicrosoftBus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/Subscriber.h"
#include "sim/win32/SimulatedBluetoothRegistry.h"
#include "tests/win32/Win32TransportFixture.h"

namespace win32test {
namespace {

using devio::IBluetoothBus;
using devio::IBluetoothDevice;
using devio::IDeviceManager;
using sim::SimulatedHidDevice;
using sim::SimulatedWin32System;

// Radio arrivals and removals, and one device's link and pairing events, as text.
class BluetoothEvents final : public devio::Subscriber<IBluetoothBus::RadioArrivalRemovalExternal>,
                              public devio::Subscriber<IBluetoothDevice::BtConnect>,
                              public devio::Subscriber<IBluetoothDevice::BtFastConnect>,
                              public devio::Subscriber<IBluetoothDevice::BtUnpair> {
 public:
  bool watch(const std::shared_ptr<IBluetoothBus>& bus) {
    return devio::Subscriber<IBluetoothBus::RadioArrivalRemovalExternal>::subscribe(bus, devio::Direct);
  }
  bool follow(const std::shared_ptr<IBluetoothDevice>& device) {
    return devio::Subscriber<IBluetoothDevice::BtConnect>::subscribe(device, devio::Direct) &&
           devio::Subscriber<IBluetoothDevice::BtFastConnect>::subscribe(device, devio::Direct) &&
           devio::Subscriber<IBluetoothDevice::BtUnpair>::subscribe(device, devio::Direct);
  }
  void onRadioArrival(std::string radio) override { log.add("+radio " + radio); }
  void onRadioRemoval(std::string radio) override { log.add("-radio " + radio); }
  void onBtConnect(std::string radio) override { log.add("connect " + radio); }
  void onBtPairingUpdate(std::string radio) override { log.add("pairing " + radio); }
  void onBtDisconnect() override { log.add("disconnect"); }
  void onBtFastConnect(std::string radio) override { log.add("fast connect " + radio); }
  void onBtFastDisconnect() override { log.add("fast disconnect"); }
  void onBtUnpair(std::string radio) override { log.add("unpair " + radio); }
  Log<std::string> log;
};

// The HID bus of a manager whose configuration items choose the Bluetooth bus's activity.
class BluetoothBusTest : public Win32TransportTest {
 protected:
  void SetUp() override {
    for (int item : {IDeviceManager::bluetooth_active, IDeviceManager::ble_active}) manager->config_set(item, active());
    bus = devio::Win32Bus::create(manager, [host = host] { return host; });
    ASSERT_EQ(bus->bluetooth_buses().size(), 1u);
    bluetooth = std::dynamic_pointer_cast<devio::BluetoothMicrosoftBus>(bus->bluetooth_buses().front());
    ASSERT_TRUE(bluetooth);
  }
  void TearDown() override { bluetooth.reset(); }
  virtual bool active() { return true; }

  // A paired device whose HID interface is plugged; answers the interface's path.
  std::string plugPaired(std::uint64_t address) {
    SimulatedHidDevice device = SimulatedHidDevice::zephel(0xB023, "Bt mouse");
    device.bluetoothAddress = address;
    return host->path(plug(device), 1);
  }

  BluetoothEvents events;
  std::shared_ptr<devio::DeviceManager> manager = devio::DeviceManager::create();
  std::shared_ptr<devio::BluetoothMicrosoftBus> bluetooth;
};

TEST_F(BluetoothBusTest, AUsbPathIsNotBluetoothAndTheAnswerIsRemembered) {
  // A product id no other test uses: the key written below matches no other test's paths.
  const std::string path = host->path(plug(SimulatedHidDevice::zephel(0x6E2F, "Zephel")), 1);
  EXPECT_EQ(bluetooth->device_paired_on_path(path), nullptr);
  // A pairing appears in the registry for that path: only a fresh bus would read it.
  sim::SimulatedBluetoothRegistry registry;
  const std::string node = path.substr(path.find('#', 8) + 1, path.rfind('#') - path.find('#', 8) - 1);
  ASSERT_TRUE(registry.write({L"SYSTEM\\CurrentControlSet\\Enum\\BTHENUM", L"VID_1D7A&PID_6E2F",
                              L"7&KZTEST" + std::to_wstring(GetCurrentProcessId()),
                              std::wstring(node.begin(), node.begin() + node.rfind('&')), 0x00AABBCCDDEEull}));
  EXPECT_EQ(bluetooth->device_paired_on_path(path), nullptr);
  const auto fresh = devio::BluetoothMicrosoftBus::create(true, bus);
  const auto found = fresh->device_paired_on_path(path);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->address(), "00AA:BB:CCDDEE");
}

struct PairingCase {
  const char* what;
  SimulatedWin32System::BluetoothPairing pairing;
  int busType;
  std::string address;  // empty: the one the host gave
};

TEST_F(BluetoothBusTest, APairedPathIsFoundUnderItsEnumerationKey) {
  const PairingCase cases[] = {
      {"classic", {.name = "Bt mouse"}, 2, ""},
      {"LE", {.name = "Le mouse", .le = true, .model = "{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&021d7a_PID&b35b"}, 3, ""},
      {"LE, the address only in the model name",
       {.name = "Le keys", .le = true, .model = "{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&021d7a_PID&b35c_d0a1b2c3d4e5",
        .addressValue = false},
       3, "D0A1:B2:C3D4E5"},
  };
  const int radio = host->addRadio();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint64_t address = host->pairBluetooth(radio, c.pairing);
    const auto device = bluetooth->device_paired_on_path(plugPaired(address));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->bus_type(), c.busType);
    EXPECT_EQ(device->address(), c.address.empty() ? devio::BluetoothMicrosoftDevice::addressText(address) : c.address);
  }
}

TEST_F(BluetoothBusTest, RadiosArriveAndLeaveThroughDeviceChangeMessages) {
  const int present = host->addRadio();
  ASSERT_TRUE(events.watch(bluetooth));
  ASSERT_TRUE(bluetooth->lazy_start());
  EXPECT_EQ(events.log.entries(), std::vector<std::string>{"+radio " + host->radioPath(present)});
  EXPECT_TRUE(bluetooth->radio_is_present(host->radioPath(present)));

  const int arriving = host->addRadio();
  const std::string path = host->radioPath(arriving);
  EXPECT_TRUE(bluetooth->radio_is_present(path));
  host->removeRadio(arriving);
  EXPECT_FALSE(bluetooth->radio_is_present(path));
  EXPECT_EQ(events.log.entries().size(), 3u);
  EXPECT_EQ(events.log.entries().back(), "-radio " + path);
  EXPECT_EQ(host->radioOpens(), 2);
}

TEST_F(BluetoothBusTest, TheLinkFollowsTheRadioEventsAndTheDeviceInformation) {
  const int radio = host->addRadio();
  const std::string radioPath = host->radioPath(radio);
  const std::uint64_t address = host->pairBluetooth(radio, {.name = "Bt mouse"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(events.follow(device));  // starts the bus
  EXPECT_FALSE(device->connected());
  EXPECT_TRUE(device->verify_pairing());
  EXPECT_EQ(device->connected_radio(), radioPath);
  EXPECT_TRUE(device->radio_present());
  EXPECT_EQ(device->name(), "Bt mouse");

  host->setBluetoothConnected(address, true);
  EXPECT_EQ(events.log.entries(), (std::vector<std::string>{"fast connect " + radioPath, "connect " + radioPath}));
  EXPECT_TRUE(device->connected());
  host->setBluetoothConnected(address, false);
  EXPECT_EQ(events.log.entries().size(), 4u);
  EXPECT_EQ(events.log.entries()[3], "disconnect");
  EXPECT_FALSE(device->connected());

  host->unpairBluetooth(address);
  EXPECT_EQ(events.log.entries().back(), "unpair " + radioPath);
  EXPECT_FALSE(device->verify_pairing());
}

TEST_F(BluetoothBusTest, AnLeDeviceFollowsTheRadioInRangeEvents) {
  const int radio = host->addRadio();
  const std::uint64_t address =
      host->pairBluetooth(radio, {.name = "Le mouse", .le = true, .model = "{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&021d7a_PID&b35b"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(events.follow(device));
  host->setBluetoothConnected(address, true);
  host->setBluetoothConnected(address, false);
  EXPECT_EQ(events.log.entries(), (std::vector<std::string>{"fast connect " + host->radioPath(radio), "connect " + host->radioPath(radio),
                                                             "fast disconnect", "disconnect"}));
}

// A radio found by the start reaches a handler that asks a device, which asks the bus to start:
// the start is not waited for on its own thread.
TEST_F(BluetoothBusTest, AHandlerOfTheStartsOwnRadioMayAskTheBusAgain) {
  const int radio = host->addRadio();
  const std::uint64_t address = host->pairBluetooth(radio, {.name = "Bt mouse"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);
  class AskingHandler final : public devio::Subscriber<IBluetoothBus::RadioArrivalRemovalExternal> {
   public:
    explicit AskingHandler(std::shared_ptr<IBluetoothDevice> device) : device_(std::move(device)) {}
    ~AskingHandler() override { unsubscribe_all(); }
    void onRadioArrival(std::string) override { paired = device_->verify_pairing(); }
    void onRadioRemoval(std::string) override {}
    bool paired = false;

   private:
    std::shared_ptr<IBluetoothDevice> device_;
  } handler(device);
  ASSERT_TRUE(handler.subscribe(std::shared_ptr<IBluetoothBus>(bluetooth), devio::Direct));
  EXPECT_TRUE(bluetooth->lazy_start());
  EXPECT_TRUE(handler.paired);
}

class InactiveBluetoothBusTest : public BluetoothBusTest {
 protected:
  bool active() override { return false; }
};

TEST_F(InactiveBluetoothBusTest, ItemsZeroAndOneOffTheStartFailsAndNoRadioIsOpened) {
  const int radio = host->addRadio();
  const std::uint64_t address = host->pairBluetooth(radio, {.name = "Bt mouse"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);  // the registry answers without a start
  EXPECT_FALSE(bluetooth->lazy_start());
  EXPECT_EQ(devio::LastError::get().code, devio::BluetoothUnavailable);
  EXPECT_FALSE(device->connected());
  EXPECT_EQ(devio::LastError::get().code, devio::BluetoothUnavailable);
  EXPECT_FALSE(events.follow(device));
  EXPECT_EQ(host->radioOpens(), 0);
}

}  // namespace
}  // namespace win32test
