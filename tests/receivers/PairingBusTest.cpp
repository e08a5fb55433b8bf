#include "devio/receivers/PairingBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/receivers/PairingCacheFile.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBluetoothBus.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using devio::Bytes;
using devio::IHardwareBus;
using devio::IHardwareDevice;
using devio::PairingBus;
using devio::PairingCacheFile;
using sim::SimulatedBluetoothBus;
using sim::SimulatedBluetoothDevice;
using sim::SimulatedBus;
using sim::SimulatedChannel;
using Log = std::vector<std::string>;

const std::string kRadio = "\\\\?\\usb#vid_0a12&pid_0001#radio1";
const std::string kOtherRadio = "\\\\?\\usb#vid_0a12&pid_0001#radio2";
const std::string kMouse = "\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&00021d7a_pid&b023#8&1&0000";
const std::string kHeadset = "\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&00021d7a_pid&b024#8&2&0000";
const std::string kKeyboard = "\\\\?\\hid#vid_1d7a&pid_6e21&col02#7&1&0001";
const Bytes kRequest = {0x11, 0xFF, 0x00, 0x1A, 0x01};

// Thread-safe record of events as text.
class Recorder {
 public:
  void add(std::string entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(entry));
    changed_.notify_all();
  }
  Log take() {
    std::lock_guard lock(mutex_);
    return std::exchange(log_, {});
  }
  // Bounded by real time: reads arrive on the channel's thread.
  Log waitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return log_.size() >= n; });
    return log_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Log log_;
};

// "+path" / "-path" of the filter's announcements.
class Announcements final : public devio::Subscriber<IHardwareBus::PlugUnplug>, public Recorder {
 public:
  void onPlug(std::shared_ptr<IHardwareDevice> device) override {
    last = device;
    add("+" + device->path());
  }
  void onUnplug(std::shared_ptr<IHardwareDevice> device) override { add("-" + device->path()); }
  std::shared_ptr<IHardwareDevice> last;
};

// "connect" / "disconnect" of one device, the reports it read and its write completions.
class DeviceEvents final : public devio::Subscriber<IHardwareDevice::Connect>,
                           public devio::Subscriber<IHardwareDevice::Read>,
                           public devio::Subscriber<IHardwareDevice::Write>,
                           public Recorder {
 public:
  template <class E>
  bool follow(const std::shared_ptr<IHardwareDevice>& device) {
    return devio::Subscriber<E>::subscribe(device, devio::Direct);
  }
  void onConnect(std::shared_ptr<IHardwareDevice>) override { add("connect"); }
  void onDisconnect(std::shared_ptr<IHardwareDevice>) override { add("disconnect"); }
  void onRead(Bytes report, bool, unsigned system_error, unsigned) override {
    add(report.empty() ? "read failed " + std::to_string(system_error) : "read " + std::to_string(report.at(2)));
  }
  void onWrite(Bytes report, devio::ErrorCode error, unsigned) override {
    add("write " + std::to_string(report.size()) + " " + std::to_string(error));
  }
};

class Peer final : public sim::SimulatedPeer {
 public:
  void onHostWrite(const Bytes&) override { ++writes; }
  std::atomic<int> writes{0};
};

class PairingBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inner->setBluetoothBuses({bluetooth});
    bluetooth->addRadio(kRadio);
    pairing = PairingBus::create(inner, {});
    ASSERT_TRUE(announcements.subscribe(std::shared_ptr<IHardwareBus>(pairing), devio::Direct));
    EXPECT_TRUE(pairing->devices().empty());
  }

  std::shared_ptr<SimulatedChannel> channel(const std::string& path, std::uint16_t pid = 0xB023) {
    SimulatedChannel::Config config;
    config.path = path;
    config.pid = pid;
    config.name = "channel of " + path.substr(path.size() - 4);
    auto made = SimulatedChannel::create(config);
    made->setPeer(peer);
    return made;
  }

  // A paired mouse whose link is up, plugged in; answers the filter's device for it.
  std::shared_ptr<IHardwareDevice> plugMouse() {
    mouse = bluetooth->pair(kMouse, {.address = "0011:22:334455", .name = "Bt mouse", .busType = 2, .radio = kRadio});
    mouse->connect();
    mouseChannel = channel(kMouse);
    inner->plug(mouseChannel);
    EXPECT_EQ(announcements.take(), Log{"+" + kMouse});
    auto device = announcements.last;
    EXPECT_TRUE(events.follow<IHardwareDevice::Connect>(device));
    return device;
  }

  bool write(const std::shared_ptr<IHardwareDevice>& device) { return device->write(kRequest, false); }

  // Outlive the buses and channels.
  Announcements announcements;
  DeviceEvents events;
  std::shared_ptr<Peer> peer = std::make_shared<Peer>();
  std::shared_ptr<SimulatedBus> inner = SimulatedBus::create();
  std::shared_ptr<SimulatedBluetoothBus> bluetooth = SimulatedBluetoothBus::create();
  std::shared_ptr<PairingBus> pairing;
  std::shared_ptr<SimulatedBluetoothDevice> mouse;
  std::shared_ptr<SimulatedChannel> mouseChannel;
};

TEST_F(PairingBusTest, ACordedChannelPassesThroughAlwaysConnected) {
  auto keyboard = channel(kKeyboard, 0x6E21);
  inner->plug(keyboard);
  ASSERT_EQ(announcements.take(), Log{"+" + kKeyboard});
  const auto device = announcements.last;
  EXPECT_TRUE(device->connected());
  EXPECT_EQ(device->pid(), 0x6E21);
  EXPECT_EQ(device->bus_type(), 0);
  EXPECT_EQ(device->bus().lock(), std::shared_ptr<IHardwareBus>(pairing));
  EXPECT_TRUE(write(device));
  EXPECT_EQ(peer->writes, 1);
  EXPECT_EQ(pairing->devices(), std::vector<std::shared_ptr<IHardwareDevice>>{device});
  inner->unplug(keyboard);
  EXPECT_EQ(announcements.take(), Log{"-" + kKeyboard});
  EXPECT_TRUE(pairing->devices().empty());
}

TEST_F(PairingBusTest, APairedDeviceKeepsItsIdentityWhileItsInterfaceComesAndGoes) {
  const auto device = plugMouse();
  EXPECT_EQ(device->bus_type(), 2);
  EXPECT_EQ(device->link_index(), 0);
  EXPECT_TRUE(device->connected());

  inner->unplug(mouseChannel);
  EXPECT_TRUE(announcements.take().empty());
  EXPECT_EQ(events.take(), Log{"disconnect"});
  EXPECT_FALSE(device->connected());
  EXPECT_FALSE(write(device));
  EXPECT_EQ(devio::LastError::get().code, devio::NotConnected);

  inner->plug(channel(kMouse));
  EXPECT_TRUE(announcements.take().empty());
  EXPECT_EQ(events.take(), Log{"connect"});
  EXPECT_TRUE(device->connected());
  EXPECT_TRUE(write(device));
  EXPECT_EQ(peer->writes, 1);
  EXPECT_EQ(bluetooth->lookups(), 1);  // the path's pairing was looked up once
}

// The fast events stop writes at once; the slow ones tell the device's users.
TEST_F(PairingBusTest, WritesNeedTheLinkUpAsReportedAndAsHandled) {
  const auto device = plugMouse();
  ASSERT_TRUE(events.follow<IHardwareDevice::Write>(device));
  mouse->fastDisconnect();
  EXPECT_FALSE(write(device));
  EXPECT_EQ(devio::LastError::get().code, devio::NotConnected);
  EXPECT_EQ(events.take(), Log{"write 0 5"});  // one completion, without touching the channel
  EXPECT_EQ(peer->writes, 0);

  mouse->slowDisconnect();
  EXPECT_EQ(events.take(), Log{"disconnect"});
  mouse->fastConnect();
  EXPECT_FALSE(write(device));  // not yet handled
  mouse->slowConnect();
  EXPECT_EQ(events.take(), (Log{"write 0 5", "connect"}));
  EXPECT_TRUE(write(device));
  EXPECT_EQ(events.take(), Log{"write 20 0"});
  EXPECT_EQ(peer->writes, 1);
}

TEST_F(PairingBusTest, AskingForTheLinkHandlesAChangeNoEventReported) {
  const auto device = plugMouse();
  mouse->setLive(false);
  EXPECT_FALSE(device->connected());
  EXPECT_EQ(events.take(), Log{"disconnect"});
  mouse->setLive(true);
  EXPECT_TRUE(device->connected());
  EXPECT_EQ(events.take(), Log{"connect"});
}

TEST_F(PairingBusTest, UnpairingAnnouncesTheDeviceGone) {
  auto keyboard = channel(kKeyboard, 0x6E21);
  inner->plug(keyboard);
  announcements.take();
  const auto device = plugMouse();
  mouse->unpair();
  EXPECT_EQ(announcements.take(), Log{"-" + kMouse});
  inner->unplug(mouseChannel);
  EXPECT_TRUE(announcements.take().empty());
  EXPECT_EQ(pairing->devices().size(), 1u);  // the keyboard
}

TEST_F(PairingBusTest, ARadioThatLeavesTakesItsDevicesAlongAndBringsThemBack) {
  bluetooth->addRadio(kOtherRadio);
  const auto device = plugMouse();
  auto headset = bluetooth->pair(kHeadset, {.address = "0011:22:334466", .name = "Bt headset", .busType = 2, .radio = kOtherRadio});
  headset->connect();
  inner->plug(channel(kHeadset, 0xB024));
  announcements.take();

  bluetooth->removeRadio(kRadio);
  EXPECT_EQ(announcements.take(), Log{"-" + kMouse});
  EXPECT_EQ(pairing->devices().size(), 1u);
  bluetooth->addRadio(kRadio);
  EXPECT_EQ(announcements.take(), Log{"+" + kMouse});
  EXPECT_EQ(announcements.last, device);
}

TEST_F(PairingBusTest, PairingsLostWhileNobodyListenedAreFoundByARadioArrivalAndByRefresh) {
  auto keyboard = channel(kKeyboard, 0x6E21);
  inner->plug(keyboard);
  announcements.take();
  plugMouse();
  mouse->losePairing();
  pairing->refresh();
  EXPECT_EQ(announcements.take(), Log{"-" + kMouse});
  pairing->refresh();
  EXPECT_TRUE(announcements.take().empty());
  inner->unplug(mouseChannel);

  plugMouse();
  mouse->losePairing();
  bluetooth->addRadio(kOtherRadio);
  EXPECT_EQ(announcements.take(), Log{"-" + kMouse});
  inner->unplug(mouseChannel);
  EXPECT_EQ(pairing->devices().size(), 1u);
}

TEST_F(PairingBusTest, ReadsFollowTheCurrentChannel) {
  const auto device = plugMouse();
  ASSERT_TRUE(events.follow<IHardwareDevice::Read>(device));
  mouseChannel->deliver({0x11, 0xFF, 1});
  ASSERT_EQ(events.waitFor(1), Log{"read 1"});
  inner->unplug(mouseChannel);
  auto second = channel(kMouse);
  inner->plug(second);
  EXPECT_TRUE(second->isReading());
  Log seen = events.take();
  std::erase(seen, "read failed 1167");  // the first channel's end, if it came before the channel was left
  EXPECT_EQ(seen, (Log{"read 1", "disconnect", "connect"}));
  second->deliver({0x11, 0xFF, 2});
  EXPECT_EQ(events.waitFor(1), Log{"read 2"});
}

TEST_F(PairingBusTest, AChannelThatCannotBeOpenedIsIgnored) {
  SimulatedChannel::Config config;
  config.path = kKeyboard;
  config.openFails = true;
  inner->plug(SimulatedChannel::create(config));
  EXPECT_TRUE(announcements.take().empty());
}

// Link changes on the Bluetooth bus's thread while a client writes: every write completes once,
// either through the channel or refused.
TEST_F(PairingBusTest, LinkChangesWhileWriting) {
  const auto device = plugMouse();
  ASSERT_TRUE(events.follow<IHardwareDevice::Write>(device));
  constexpr int kRounds = 300;
  std::thread link([&] {
    for (int i = 0; i < kRounds; ++i) {
      mouse->disconnect();
      mouse->connect();
    }
  });
  int written = 0;
  for (int i = 0; i < kRounds; ++i) written += write(device) ? 1 : 0;
  link.join();
  EXPECT_EQ(peer->writes, written);
  int completions = 0;
  for (const auto& entry : events.take()) completions += entry.starts_with("write") ? 1 : 0;
  EXPECT_EQ(completions, kRounds);
}

// LE devices over HID and the GATT channels on the inner bus's secondary bus that monitor them.
class PairingMonitorTest : public PairingBusTest {
 protected:
  void SetUp() override {
    inner->addSecondaryBus(gatt);
    PairingBusTest::SetUp();
  }

  std::shared_ptr<SimulatedChannel> monitor(const std::string& path, std::uint16_t pid) {
    SimulatedChannel::Config config;
    config.path = path;
    config.pid = pid;
    config.busType = 4;
    return SimulatedChannel::create(config);
  }

  // A paired LE device over HID whose link is up, plugged in.
  std::shared_ptr<IHardwareDevice> plugLe(const std::string& path, std::uint16_t pid, const std::string& address) {
    auto paired = bluetooth->pair(path, {.address = address, .name = "LE device", .busType = 3, .radio = kRadio});
    paired->connect();
    leDevices.push_back(paired);
    auto hid = channel(path, pid);
    inner->plug(hid);
    EXPECT_EQ(announcements.take(), Log{"+" + path});
    return announcements.last;
  }

  std::shared_ptr<SimulatedBus> gatt = SimulatedBus::create();
  std::vector<std::shared_ptr<SimulatedBluetoothDevice>> leDevices;
};

const std::string kLeMouse = "\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&021d7a_pid&b023#9&1&0000";
const std::string kLeMouse2 = "\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&021d7a_pid&b023#9&2&0000";
const std::string kLeKeyboard = "\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&021d7a_pid&b350#9&3&0000";
const std::string kGatt1 = "\\\\?\\bthledevice#{00010000-0000-1000-8000-011f20001d7a}_dev_vid&021d7a_pid&b023#a&1";
const std::string kGatt2 = "\\\\?\\bthledevice#{00010000-0000-1000-8000-011f20001d7a}_dev_vid&021d7a_pid&b023#a&2";

// A monitor that vanishes without its removal being announced shows its device gone after a
// time-out; the monitors themselves are never announced by the filter.
TEST_F(PairingMonitorTest, AGattChannelMonitorsTheLeDeviceOfItsProductId) {
  const auto first = monitor(kGatt1, 0xB023);
  gatt->plug(first);  // loose: no device of its product id yet
  const auto mouse = plugLe(kLeMouse, 0xB023, "0011:22:aa0001");
  const auto keyboard = plugLe(kLeKeyboard, 0xB350, "0011:22:aa0002");
  EXPECT_TRUE(announcements.take().empty());

  first->pull();
  EXPECT_FALSE(mouse->verify_connection_following_timeout());
  EXPECT_TRUE(keyboard->verify_connection_following_timeout());

  gatt->unplug(first);  // detached: the HID channel alone answers again
  EXPECT_TRUE(mouse->verify_connection_following_timeout());
  EXPECT_TRUE(announcements.take().empty());
}

// Monitors and devices of one product id pair in arrival order; a device that is gone leaves its
// monitor loose for the next one.
TEST_F(PairingMonitorTest, MonitorsPairInArrivalOrderAndOutliveTheirDevices) {
  const auto first = monitor(kGatt1, 0xB023);
  const auto second = monitor(kGatt2, 0xB023);
  gatt->plug(first);
  const auto mouse = plugLe(kLeMouse, 0xB023, "0011:22:aa0001");
  gatt->plug(second);  // the mouse has its monitor: this one stays loose

  second->pull();
  EXPECT_TRUE(mouse->verify_connection_following_timeout());
  first->pull();
  EXPECT_FALSE(mouse->verify_connection_following_timeout());

  leDevices.front()->unpair();
  EXPECT_EQ(announcements.take(), Log{"-" + kLeMouse});
  const auto mouse2 = plugLe(kLeMouse2, 0xB023, "0011:22:aa0003");
  EXPECT_FALSE(mouse2->verify_connection_following_timeout());  // the first monitor, now loose, is its
}

// Monitors already present when the filter first enumerates are found then; a corded device or
// one of another product id takes none.
TEST_F(PairingMonitorTest, MonitorsPresentAtEnumerationAreFound) {
  auto restarted = [&] {
    announcements.unsubscribe_all();
    pairing.reset();
    pairing = PairingBus::create(inner, {});
    EXPECT_TRUE(announcements.subscribe(std::shared_ptr<IHardwareBus>(pairing), devio::Direct));
  };
  const auto mouse = plugLe(kLeMouse, 0xB023, "0011:22:aa0001");
  auto keyboard = channel(kKeyboard, 0xB023);
  inner->plug(keyboard);
  const auto first = monitor(kGatt1, 0xB023);
  gatt->plug(first);
  restarted();
  const auto found = pairing->devices();
  ASSERT_EQ(found.size(), 2u);
  first->pull();
  for (const auto& device : found) {
    EXPECT_EQ(device->verify_connection_following_timeout(), device->path() == kKeyboard) << device->path();
  }
}

class PairingCacheTest : public PairingBusTest {
 protected:
  void SetUp() override {
    PairingBusTest::SetUp();
    pairing->persistent_data_directory(dir.withSeparator());
  }
  std::vector<PairingCacheFile::Entry> cached() { return PairingCacheFile::read(file); }

  testsupport::TemporaryDirectory dir;
  const std::string file = dir.withSeparator() + PairingCacheFile::kFileName;
};

TEST_F(PairingCacheTest, PairedDevicesAreWrittenAndCordedOnesAreNot) {
  inner->plug(channel(kKeyboard, 0x6E21));
  EXPECT_TRUE(cached().empty());
  announcements.take();
  plugMouse();
  const PairingCacheFile::Entry entry{kMouse, 0xB023, "channel of 0000", kRadio, ""};
  EXPECT_EQ(cached(), std::vector<PairingCacheFile::Entry>{entry});
  mouse->unpair();
  EXPECT_TRUE(cached().empty());
}

// The device is switched off (its interface gone) when the filter starts again: it is known from
// the cache but not shown, the next write keeps it, and its interface brings it back.
TEST_F(PairingCacheTest, APairedDeviceSwitchedOffSurvivesARestart) {
  plugMouse();
  inner->unplug(mouseChannel);
  announcements.unsubscribe_all();
  pairing.reset();

  auto restarted = PairingBus::create(inner, {});
  ASSERT_TRUE(announcements.subscribe(std::shared_ptr<IHardwareBus>(restarted), devio::Direct));
  EXPECT_TRUE(restarted->devices().empty());
  restarted->persistent_data_directory(dir.withSeparator());
  EXPECT_TRUE(restarted->devices().empty());

  auto headset = bluetooth->pair(kHeadset, {.address = "0011:22:334466", .name = "Bt headset", .busType = 2, .radio = kRadio});
  headset->connect();
  inner->plug(channel(kHeadset, 0xB024));
  const auto paths = cached();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].path, kMouse);
  EXPECT_EQ(paths[0].name, "channel of 0000");
  EXPECT_EQ(paths[1].path, kHeadset);

  announcements.take();
  inner->plug(channel(kMouse));
  EXPECT_EQ(announcements.take(), Log{"+" + kMouse});
  EXPECT_EQ(restarted->devices().size(), 2u);
}

TEST_F(PairingCacheTest, ADamagedOrStaleCacheIsRewrittenWhole) {
  {
    std::ofstream damaged(file, std::ios::binary);
    damaged << "<devices><device path=\"" << kHeadset << "\" radio=\"" << kRadio << "\"/><unknown/><device path=\"x";
  }
  pairing->persistent_data_directory(dir.withSeparator());
  {
    std::ofstream stale(file, std::ios::binary);
    stale << PairingCacheFile::render({{kHeadset, 0xB024, "gone", kRadio, ""}});  // no longer paired
  }
  pairing->persistent_data_directory(dir.withSeparator());
  plugMouse();
  const auto entries = cached();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, kMouse);
}

// An entry whose radio was lost (the link down when its radio left) stays in the file, and the
// pairing is shown again once its channel comes with the link up, reported or not.
TEST_F(PairingCacheTest, APairingKnownWithoutARadioIsKeptAndShownWhenItsLinkComes) {
  {
    std::ofstream known(file, std::ios::binary);
    known << PairingCacheFile::render({{kHeadset, 0xB024, "Bt headset", "", ""}});
  }
  auto headset = bluetooth->pair(kHeadset, {.address = "0011:22:334466", .name = "Bt headset", .busType = 2, .radio = kRadio});
  headset->connect();  // before the filter knew it: no event tells it
  pairing->persistent_data_directory(dir.withSeparator());
  plugMouse();
  auto headsetEntry = [&] {
    const auto entries = cached();
    const auto it = std::find_if(entries.begin(), entries.end(), [](const auto& entry) { return entry.path == kHeadset; });
    return it == entries.end() ? std::optional<PairingCacheFile::Entry>() : *it;
  };
  ASSERT_TRUE(headsetEntry());
  EXPECT_EQ(headsetEntry()->radio, "");

  inner->plug(channel(kHeadset, 0xB024));
  EXPECT_EQ(announcements.take(), Log{"+" + kHeadset});
  EXPECT_EQ(headsetEntry()->radio, kRadio);
}

}  // namespace
