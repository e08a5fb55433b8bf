// The Bluetooth classic bus over the simulated host: pairings read from the prefix's registry,
// radios as device interfaces with real WM_DEVICECHANGE messages, the custom radio events, and
// BluetoothGetDeviceInfo.
#include "devio/win32/BluetoothMicrosoftBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
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

TEST_F(BluetoothBusTest, AnLeDeviceThatLosesItsLePairingIsUnpaired) {
  const int radio = host->addRadio();
  const std::uint64_t address =
      host->pairBluetooth(radio, {.name = "Le keys", .le = true, .model = "{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&021d7a_PID&b35c"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(events.follow(device));
  host->unpairBluetooth(address);
  EXPECT_EQ(events.log.entries(), std::vector<std::string>{"unpair " + host->radioPath(radio)});
}

TEST_F(BluetoothBusTest, ThePairingRadioIsFoundThroughTheDeviceTree) {
  host->addRadio();  // one the device is not paired with
  const int other = host->addRadio();
  const std::string paired = plugPaired(host->pairBluetooth(other, {.name = "Bt mouse"}));
  const std::string usb = host->path(plug(SimulatedHidDevice::zephel(0xC52B, "Receiver")), 1);
  EXPECT_EQ(bluetooth->find_radio_via_pnp(paired), host->radioPath(other));
  EXPECT_EQ(bluetooth->find_radio_via_pnp(usb), "");
  host->removeRadio(other);
  EXPECT_EQ(bluetooth->find_radio_via_pnp(paired), "");
}

TEST_F(BluetoothBusTest, APairedDeviceNoRadioReportsKeepsTheRadioOfTheDeviceTree) {
  const int radio = host->addRadio();
  const std::uint64_t address = host->pairBluetooth(radio, {.name = "Bt mouse", .reported = false});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(events.follow(device));  // starts the bus
  EXPECT_FALSE(device->connected());
  EXPECT_EQ(device->connected_radio(), host->radioPath(radio));
  EXPECT_TRUE(device->radio_present());
}

// A custom event broadcast on a radio handle with the given data.
std::vector<std::byte> customEvent(const GUID& event, const std::vector<std::byte>& data) {
  const std::size_t offset = offsetof(DEV_BROADCAST_HANDLE, dbch_data);
  std::vector<std::byte> message(std::max(offset + data.size(), sizeof(DEV_BROADCAST_HANDLE)));
  auto* header = reinterpret_cast<DEV_BROADCAST_HANDLE*>(message.data());
  header->dbch_size = static_cast<DWORD>(offset + data.size());
  header->dbch_devicetype = DBT_DEVTYP_HANDLE;
  header->dbch_handle = reinterpret_cast<HANDLE>(0x1234);
  header->dbch_eventguid = event;
  std::copy(data.begin(), data.end(), message.begin() + offset);
  return message;
}

template <class T>
std::vector<std::byte> bytesOf(const T& value, std::size_t size = sizeof(T)) {
  const auto* begin = reinterpret_cast<const std::byte*>(&value);
  return std::vector<std::byte>(begin, begin + size);
}

struct LoggedEventCase {
  const char* what;
  GUID event;
  std::vector<std::byte> data;
  std::string line;  // empty: not logged
};

TEST(BluetoothRadioEvents, LogOnlyEventsAreLoggedWithTheirDataAndShortDataIsIgnored) {
  constexpr GUID hci = {0xfc240062, 0x1541, 0x49be, {0xb4, 0x63, 0x84, 0xc4, 0xdc, 0xd7, 0xbf, 0x7f}};
  constexpr GUID vendor = {0x547247e6, 0x45bb, 0x4c33, {0xaf, 0x8c, 0xc0, 0x0e, 0xfe, 0x15, 0xa7, 0x1d}};
  constexpr GUID outOfRange = {0xe28867c9, 0xc2aa, 0x4ced, {0xb9, 0x69, 0x45, 0x70, 0x86, 0x60, 0x37, 0xc4}};
  const std::uint64_t address = 0x00AABBCCDDEEull;
  const BTH_HCI_EVENT_INFO le{address, 3, 1};
  const BTH_HCI_EVENT_INFO odd{address, 7, 0};
  std::vector<std::byte> vendorData = bytesOf(address);
  const ULONG claimed = 4;
  const auto size = bytesOf(claimed);
  vendorData.insert(vendorData.end(), size.begin(), size.end());
  for (int b : {0x0e, 0xff, 0x01}) vendorData.push_back(static_cast<std::byte>(b));  // one byte fewer than claimed
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%p", reinterpret_cast<void*>(0x1234));
  const std::string p(pointer);
  const LoggedEventCase cases[] = {
      {"HCI LE", hci, bytesOf(le),
       "Bluetooth - DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=" + p + ", GUID_BLUETOOTH_HCI_EVENT addr=00AA:BB:CCDDEE, HCI_CONNECTION_TYPE_LE, connected=1"},
      {"HCI unknown type", hci, bytesOf(odd),
       "Bluetooth - DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=" + p + ", GUID_BLUETOOTH_HCI_EVENT addr=00AA:BB:CCDDEE, 7, connected=0"},
      {"HCI short", hci, bytesOf(le, 9), ""},
      {"vendor, bytes only up to the broadcast's end", vendor, vendorData,
       "Bluetooth - GUID_BLUETOOTH_HCI_VENDOR_EVENT handle=" + p + " BthAddress=00AA:BB:CCDDEE, EventSize=4 EventInfo=0eff01"},
      {"vendor short", vendor, std::vector<std::byte>(vendorData.begin(), vendorData.begin() + 10), ""},
      {"out of range", outOfRange, bytesOf(address),
       "Bluetooth - DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=" + p + ", GUID_BLUETOOTH_RADIO_OUT_OF_RANGE, addr=00AA:BB:CCDDEE"},
      {"out of range short", outOfRange, bytesOf(address, 4), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto message = customEvent(c.event, c.data);
    EXPECT_EQ(devio::BluetoothMicrosoftBus::logOnlyEventText(*reinterpret_cast<const DEV_BROADCAST_HANDLE*>(message.data())),
              c.line);
  }
}

// While one thread starts the bus, the window thread handles an arrival whose handler asks a
// Bluetooth device: it must not wait for the start, which needs the window for the next radio's
// registration (before, that registration timed out and the radio was lost).
TEST_F(BluetoothBusTest, TheWindowThreadDoesNotWaitForAStartThatNeedsIt) {
  const int first = host->addRadio();
  const int second = host->addRadio();
  const std::uint64_t address = host->pairBluetooth(first, {.name = "Bt mouse"});
  const auto device = bluetooth->device_paired_on_path(plugPaired(address));
  ASSERT_NE(device, nullptr);

  // Calls back on every event of one kind, on the producer's thread.
  struct OnPlug final : devio::Subscriber<devio::IHardwareBus::PlugUnplug> {
    explicit OnPlug(std::function<void()> call) : call(std::move(call)) {}
    ~OnPlug() override { unsubscribe_all(); }
    void onPlug(std::shared_ptr<devio::IHardwareDevice>) override { call(); }
    void onUnplug(std::shared_ptr<devio::IHardwareDevice>) override {}
    std::function<void()> call;
  };
  struct OnRadio final : devio::Subscriber<IBluetoothBus::RadioArrivalRemovalExternal> {
    explicit OnRadio(std::function<void()> call) : call(std::move(call)) {}
    ~OnRadio() override { unsubscribe_all(); }
    void onRadioArrival(std::string) override { call(); }
    void onRadioRemoval(std::string) override {}
    std::function<void()> call;
  };

  std::mutex mutex;
  std::condition_variable changed;
  bool windowAsks = false;
  OnPlug windowSide([&] {
    {
      std::lock_guard lock(mutex);
      windowAsks = true;
    }
    changed.notify_all();
    device->connected();
  });
  ASSERT_TRUE(windowSide.subscribe(std::shared_ptr<devio::IHardwareBus>(bus), devio::Direct));
  bool plugged = false;
  OnRadio startSide([&] {
    if (std::exchange(plugged, true)) return;
    plugKeyboard();
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(30), [&] { return windowAsks; });
  });
  ASSERT_TRUE(startSide.subscribe(std::shared_ptr<IBluetoothBus>(bluetooth), devio::Direct));

  ASSERT_TRUE(bluetooth->lazy_start());
  EXPECT_TRUE(windowAsks);
  EXPECT_TRUE(bluetooth->radio_is_present(host->radioPath(first)));
  EXPECT_TRUE(bluetooth->radio_is_present(host->radioPath(second)));
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
