#include "devio/runtime/DeviceManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/Device.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBluetoothBus.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"

namespace {

using devio::IDeviceManager;
using devio::IHardwareBus;
using devio::LastError;
using sim::SimulatedChannel;
using testsupport::RunLoopPump;

std::shared_ptr<SimulatedChannel> channel(std::uint16_t pid, int busType = 0, bool openFails = false) {
  SimulatedChannel::Config config;
  config.pid = pid;
  config.busType = busType;
  config.openFails = openFails;
  config.path = "sim://" + std::to_string(pid);
  return SimulatedChannel::create(config);
}

// A receiver as the manager sees one: a device that is also a bus of the devices paired to it.
// Its enumeration fails while `failing` is set.
class TestReceiver final : public devio::Device,
                           public IHardwareBus,
                           public devio::Producer<IHardwareBus::PlugUnplug> {
 public:
  TestReceiver(std::shared_ptr<devio::DeviceManager> manager, std::shared_ptr<devio::IHardwareDevice> hwdev)
      : Device(manager, std::move(hwdev)) {}

  std::vector<std::shared_ptr<devio::IHardwareDevice>> devices() override {
    ++enumerations;
    if (failing) {
      LastError::set(devio::EnumerationFailed);
      return {};
    }
    LastError::set(devio::Success);
    return {children.begin(), children.end()};
  }

  void confirm_configuration() override { ++confirmations; }

  void pair(const std::shared_ptr<SimulatedChannel>& child) {
    children.push_back(child);
    child->plugInto(std::static_pointer_cast<TestReceiver>(shared_from_this()));
    std::shared_ptr<devio::IHardwareDevice> announced = child;
    devio::Producer<PlugUnplug>::produce([announced](PlugUnplug* s) { s->onPlug(announced); },
                                         "TestReceiver::PlugUnplug::onPlug");
  }

  std::atomic<bool> failing{false};
  int enumerations = 0;
  int confirmations = 0;
  std::vector<std::shared_ptr<SimulatedChannel>> children;
};

// Arrivals and removals as "+pid" / "-pid", delivered through the run loop like the application's.
class Arrivals final : public devio::Subscriber<IDeviceManager::ArrivalRemoval> {
 public:
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override { record('+', device->pid()); }
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override { record('-', device->pid()); }
  void record(char what, int pid) {
    char text[8];
    std::snprintf(text, sizeof text, "%c%04x", what, pid);
    log.emplace_back(text);
  }
  std::vector<std::string> log;
};

class Errors final : public devio::Subscriber<IDeviceManager::UnreportedError> {
 public:
  void onUnreportedError(const char* msg, devio::ErrorCode code, const char* message, unsigned long) override {
    seen.push_back(std::string(msg) + "|" + std::to_string(code) + "|" + (message ? message : ""));
  }
  std::vector<std::string> seen;
};

class DeviceManagerTest : public testsupport::FacadeFixture {
 protected:
  devio::DeviceManager::Hooks hooks() override {
    auto hooks = FacadeFixture::hooks();
    hooks.receiverBus = [this](std::shared_ptr<devio::DeviceManager> manager, std::shared_ptr<devio::IHardwareDevice> hwdev,
                               int slots, int protocolByte) -> std::shared_ptr<devio::IDevice> {
      auto receiver = std::make_shared<TestReceiver>(manager, hwdev);
      receiver->failing = receiversFail;
      receivers.push_back(receiver);
      receiverModels.push_back({slots, protocolByte});
      return receiver;
    };
    return hooks;
  }

  void enable(std::initializer_list<int> items) {
    for (int item : items) ASSERT_TRUE(facade.config_set(item, true));
  }

  // Starts the buses through the application's first subscription.
  void start() {
    pump = std::make_unique<RunLoopPump>();
    ASSERT_TRUE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
  }

  std::vector<std::string> drainedLog() {
    pump->drain();
    return arrivals.log;
  }

  bool receiversFail = false;
  std::vector<std::shared_ptr<TestReceiver>> receivers;
  std::vector<std::pair<int, int>> receiverModels;
  std::unique_ptr<RunLoopPump> pump;
  Arrivals arrivals;
};

TEST_F(DeviceManagerTest, TheFirstArrivalSubscriptionStartsTheBusesOnce) {
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  EXPECT_EQ(topBusRequests, 0);
  start();
  EXPECT_EQ(topBusRequests, 1);
  // Found while the subscription started the buses: announced before it was registered.
  EXPECT_TRUE(drainedLog().empty());
  EXPECT_EQ(facade.devices().size(), 1u);
  Arrivals second;
  ASSERT_TRUE(second.subscribe(facade.getimpl(), devio::RunLoop));
  EXPECT_EQ(topBusRequests, 1);
}

TEST_F(DeviceManagerTest, AStartThatFailsRefusesTheSubscriptionAndIsTriedAgain) {
  bus->failEnumeration(devio::EnumerationFailed);
  pump = std::make_unique<RunLoopPump>();
  EXPECT_FALSE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);
  EXPECT_TRUE(facade.devices().empty());
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);

  bus->failEnumeration(devio::Success);
  LastError::set(devio::GeneralError);
  EXPECT_TRUE(facade.devices().empty());
  EXPECT_EQ(LastError::get().code, devio::Success);
  EXPECT_TRUE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
}

struct AdmissionCase {
  int busType;
  std::uint16_t pid;
  std::vector<int> items;
  bool admitted;
};

TEST_F(DeviceManagerTest, AdmissionFollowsBusTypeProductIdAndItems) {
  const AdmissionCase cases[] = {
      {0, 0x6E21, {}, false},         {0, 0x6E21, {5}, true},          {0, 0x6E21, {4}, false},
      {0, 0x7331, {4}, true},         {0, 0x73FF, {5}, true},          {0, 0x7300, {}, false},
      {0, 0x7400, {4}, false},        {1, 0x4001, {4}, true},          {1, 0x4001, {5}, false},
      {2, 0xB012, {0}, true},         {2, 0xB012, {5, 1}, false},      {3, 0xB013, {1}, true},
      {3, 0xB013, {0, 5}, false},     {4, 0xB014, {}, true},           {7, 0xB015, {}, true},
      {-1, 0xB016, {0, 1, 4, 5}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "bus type " << c.busType << " pid " << std::hex << c.pid);
    facade.reset();
    bus = sim::SimulatedBus::create();
    facade.install_hooks(hooks());
    for (int item : c.items) facade.config_set(item, true);
    bus->plug(channel(c.pid, c.busType));
    EXPECT_EQ(facade.devices().size(), c.admitted ? 1u : 0u);
  }
}

TEST_F(DeviceManagerTest, AChannelThatCannotBeOpenedIsIgnored) {
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21, 0, true));
  EXPECT_TRUE(facade.devices().empty());
}

TEST_F(DeviceManagerTest, ArrivalsAndRemovalsReachRunLoopSubscribers) {
  enable({IDeviceManager::wired_active});
  start();
  auto keyboard = channel(0x6E21);
  bus->plug(keyboard);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21"}));
  const auto device = facade.devices().at(0);
  EXPECT_EQ(device->pid(), 0x6E21);
  EXPECT_FALSE(device->removed());
  bus->unplug(keyboard);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21", "-6e21"}));
  EXPECT_TRUE(device->removed());
  EXPECT_TRUE(facade.devices().empty());
}

// A host bus announces a removal with a new object for the removed path (it cannot hand out
// the object it announced at the arrival); the device is found by its channel's path.
TEST_F(DeviceManagerTest, ARemovalAnnouncedWithAnotherObjectOfTheSamePathRemovesTheDevice) {
  enable({IDeviceManager::wired_active});
  start();
  auto keyboard = channel(0x6E21);
  bus->plug(keyboard);
  bus->plug(channel(0x6E22));
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21", "+6e22"}));
  bus->unplug(channel(0x6E21));
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21", "+6e22", "-6e21"}));
  ASSERT_EQ(facade.devices().size(), 1u);
  EXPECT_EQ(facade.devices().at(0)->pid(), 0x6E22);
}

TEST_F(DeviceManagerTest, TheSameChannelPluggedTwiceMakesOneDevice) {
  enable({IDeviceManager::wired_active});
  start();
  auto keyboard = channel(0x6E21);
  bus->plug(keyboard);
  bus->plug(keyboard);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21"}));
  EXPECT_EQ(facade.devices().size(), 1u);
}

TEST_F(DeviceManagerTest, ChangingAnItemReconnectsTheBusesAndEnumeratesAgain) {
  bus->plug(channel(0x6E21));
  start();
  EXPECT_TRUE(facade.devices().empty());  // suppressed while item 5 is off
  ASSERT_TRUE(facade.config_set(IDeviceManager::wired_active, true));
  EXPECT_EQ(topBusRequests, 2);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21"}));

  ASSERT_TRUE(facade.config_set(IDeviceManager::wired_active, true));  // unchanged: nothing happens
  EXPECT_EQ(topBusRequests, 2);
  EXPECT_EQ(drainedLog().size(), 1u);
}

TEST_F(DeviceManagerTest, AConfigurationChangeRemovesAnAdmittedDeviceAndAnnouncesANewObject) {
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  start();
  const auto before = facade.devices().at(0);
  ASSERT_TRUE(facade.config_set(IDeviceManager::receiver_active, true));
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"-6e21", "+6e21"}));
  EXPECT_TRUE(before->removed());
  const auto after = facade.devices();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_NE(after[0], before);
  EXPECT_FALSE(after[0]->removed());
}

// The application's start-up: item 5 set after the buses run, while the bus fails to enumerate.
TEST_F(DeviceManagerTest, AFailedReconnectIsReportedAndRetriedUntilTheKeyboardIsFound) {
  Errors errors;
  bus->plug(channel(0x6E21));
  start();
  ASSERT_TRUE(errors.subscribe(facade.getimpl(), devio::Direct));
  bus->failEnumeration(devio::EnumerationFailed);
  ASSERT_TRUE(facade.config_set(IDeviceManager::wired_active, true));
  EXPECT_EQ(errors.seen, std::vector<std::string>{"DeviceManager::config_set creating busses|" +
                                                  std::to_string(devio::EnumerationFailed) + "|"});
  LastError::set(devio::Success);
  EXPECT_TRUE(facade.devices().empty());
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);  // not an empty success

  clock->advanceMs(2000);  // the first retry still fails
  ASSERT_TRUE(pump->waitForSignal());
  pump->drain();
  bus->failEnumeration(devio::Success);
  clock->advanceMs(8000);
  ASSERT_TRUE(pump->waitForSignal());
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+6e21"}));
  EXPECT_EQ(facade.devices().size(), 1u);
  EXPECT_EQ(bus->subscriber_count(), 1u);
}

TEST_F(DeviceManagerTest, ABusThatFailsToEnumerateKeepsNoSubscription) {
  bus->failEnumeration(devio::EnumerationFailed);
  EXPECT_TRUE(facade.devices().empty());
  EXPECT_EQ(bus->subscriber_count(), 0u);
}

// Every start makes a new top bus, as the host's HID bus does; each announces the same keyboard
// through a channel object of its own.
TEST_F(DeviceManagerTest, AStartFailingAtASecondaryBusLeavesNoBusBehind) {
  auto secondary = sim::SimulatedBus::create();
  secondary->failEnumeration(devio::EnumerationFailed);
  std::vector<std::shared_ptr<sim::SimulatedBus>> made;
  auto fresh = hooks();
  fresh.topBus = [&made, secondary](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<IHardwareBus> {
    made.push_back(sim::SimulatedBus::create());
    made.back()->plug(channel(0x6E21));
    made.back()->addSecondaryBus(secondary);
    return made.back();
  };
  facade.install_hooks(fresh);
  enable({IDeviceManager::wired_active});
  EXPECT_TRUE(facade.devices().empty());
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->subscriber_count(), 0u);

  secondary->failEnumeration(devio::Success);
  EXPECT_EQ(facade.devices().size(), 1u);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0]->subscriber_count(), 0u);
}

TEST_F(DeviceManagerTest, ADeviceWhoseBusIsGoneAnswersNoBus) {
  std::weak_ptr<sim::SimulatedBus> made;
  auto fresh = hooks();
  fresh.topBus = [&made](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<IHardwareBus> {
    auto bus = sim::SimulatedBus::create();
    bus->plug(channel(0x6E21));
    made = bus;
    return bus;
  };
  facade.install_hooks(fresh);
  enable({IDeviceManager::wired_active});
  const auto device = facade.devices().at(0);
  const std::weak_ptr<sim::SimulatedBus> first = made;
  EXPECT_EQ(device->bus(), first.lock());
  ASSERT_TRUE(facade.config_set(IDeviceManager::receiver_active, true));  // the manager drops that bus
  EXPECT_TRUE(first.expired());
  EXPECT_EQ(device->bus(), nullptr);
  EXPECT_TRUE(device->removed());
  EXPECT_EQ(device->pid(), 0x6E21);
  LastError::set(devio::Success);
  EXPECT_FALSE(device->sendCommand({0x10, 0xFF, 0x00, 0x10, 0, 0, 0}, false));
  EXPECT_EQ(LastError::get().code, devio::DeviceRemoved);
}

TEST_F(DeviceManagerTest, ThreadsAskingForTheFirstSoftwareIdAllGetTheSameOne) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 20; ++round) {
    facade.reset();
    const auto manager = facade.getimpl();
    std::vector<int> ids(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready < kThreads) std::this_thread::yield();  // all ask at once
        ids[t] = manager->swid();
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ids[0]), kThreads) << "round " << round;
  }
}

TEST_F(DeviceManagerTest, EventsQueuedByABusTakenOutOfServiceAreDropped) {
  std::vector<std::shared_ptr<sim::SimulatedBus>> made;
  auto fresh = hooks();
  fresh.topBus = [&made](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<IHardwareBus> {
    made.push_back(sim::SimulatedBus::create());
    return made.back();
  };
  facade.install_hooks(fresh);
  enable({IDeviceManager::wired_active});
  start();
  made.at(0)->plug(channel(0x6E21));  // queued, not yet dispatched
  ASSERT_TRUE(facade.config_set(IDeviceManager::bluetooth_active, true));
  ASSERT_EQ(made.size(), 2u);
  EXPECT_TRUE(drainedLog().empty());
  EXPECT_TRUE(facade.devices().empty());
}

TEST_F(DeviceManagerTest, FilterWishesLeaveTheBusWorking) {
  bus->setWantsCombiner(true);
  bus->setBluetoothBuses({sim::SimulatedBluetoothBus::create()});
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  EXPECT_EQ(facade.devices().size(), 1u);
}

// A bus that wants the combiner gets it: the two collections of one keyboard make one device.
TEST_F(DeviceManagerTest, TheCombinerMergesTheCollectionsOfOneDevice) {
  bus->setWantsCombiner(true);
  enable({IDeviceManager::wired_active});
  for (int usage : {1, 2}) {
    SimulatedChannel::Config config;
    config.path = "sim://keyboard/col" + std::to_string(usage);
    config.physicalId = "sim://keyboard";
    config.reportTypes = usage;
    config.deviceReportTypes = 3;
    config.reportLength = usage == 1 ? 7 : 20;
    bus->plug(SimulatedChannel::create(config));
  }
  const auto devices = facade.devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0]->pid(), 0x6E21);
}

TEST_F(DeviceManagerTest, SecondaryBusesAreAddedAndTheirFailureFailsTheStart) {
  auto secondary = sim::SimulatedBus::create();
  secondary->plug(channel(0xB014, 4));
  bus->addSecondaryBus(secondary);
  EXPECT_EQ(facade.devices().size(), 1u);
  EXPECT_EQ(secondary->refreshes(), 1);

  facade.reset();
  secondary->failEnumeration(devio::EnumerationFailed);
  pump = std::make_unique<RunLoopPump>();
  EXPECT_FALSE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
  EXPECT_EQ(LastError::get().code, devio::EnumerationFailed);
}

// A receiver (item 4) with two paired devices.
class ReceiverTest : public DeviceManagerTest {
 protected:
  void SetUp() override {
    DeviceManagerTest::SetUp();
    enable({IDeviceManager::receiver_active});
  }
};

TEST_F(ReceiverTest, AKnownReceiverBecomesABusWithItsModel) {
  bus->plug(channel(0x7342));
  start();
  ASSERT_EQ(receivers.size(), 1u);
  EXPECT_EQ(receiverModels.at(0), (std::pair<int, int>{2, 0x0A}));
  receivers[0]->pair(channel(0x4001, 1));
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+4001"}));
  EXPECT_EQ(facade.devices_on_bus(receivers[0]).size(), 1u);
}

TEST_F(ReceiverTest, DevicesOnBusOfAPlainDeviceIsEmpty) {
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  const auto devices = facade.devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_TRUE(facade.devices_on_bus(devices[0]).empty());
}

TEST_F(ReceiverTest, UnpluggingAReceiverRemovesItsDevicesFirst) {
  auto receiverChannel = channel(0x7331);
  start();
  bus->plug(receiverChannel);
  pump->drain();
  ASSERT_EQ(receivers.size(), 1u);
  receivers[0]->pair(channel(0x4001, 1));
  receivers[0]->pair(channel(0x4002, 1));
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331", "+4001", "+4002"}));
  bus->unplug(receiverChannel);
  // The devices behind the receiver go first, in the device map's order (by channel address).
  auto log = drainedLog();
  ASSERT_EQ(log.size(), 6u);
  std::sort(log.begin() + 3, log.begin() + 5);
  EXPECT_EQ(log, (std::vector<std::string>{"+7331", "+4001", "+4002", "-4001", "-4002", "-7331"}));
  EXPECT_TRUE(facade.devices().empty());
}

TEST_F(ReceiverTest, ResumeReenumeratesReceiversAndConfirmsDevices) {
  bus->plug(channel(0x7331));
  start();
  auto& receiver = *receivers.at(0);
  const int enumerations = receiver.enumerations;
  bus->powerChange(true);
  pump->drain();
  EXPECT_EQ(receiver.enumerations, enumerations);
  EXPECT_EQ(receiver.confirmations, 0);
  bus->powerChange(false);
  pump->drain();
  EXPECT_EQ(receiver.enumerations, enumerations + 1);
  EXPECT_EQ(receiver.confirmations, 1);
}

// The retry timer runs on the manual clock: each period is proven exact by advancing to one
// millisecond before its end (no expiry is possible) and then to its end.
class ReceiverRetryTest : public ReceiverTest {
 protected:
  void SetUp() override {
    ReceiverTest::SetUp();
    receiversFail = true;
    facade.install_hooks(hooks());
  }

  // Expects the next retry exactly `ms` after the last one, and runs it.
  void expectRetryAfter(int ms) {
    SCOPED_TRACE(ms);
    const int before = attempts();
    clock->advanceMs(ms - 1);
    EXPECT_EQ(pump->drain(), 0);
    EXPECT_EQ(attempts(), before);
    clock->advanceMs(1);
    ASSERT_TRUE(pump->waitForSignal());
    pump->drain();
    EXPECT_EQ(attempts(), before + static_cast<int>(receivers.size()));
  }

  int attempts() {
    int total = 0;
    for (const auto& r : receivers) total += r->enumerations;
    return total;
  }
};

TEST_F(ReceiverRetryTest, AFailingReceiverIsRetriedOnAGrowingScheduleThenReported) {
  Errors errors;
  bus->plug(channel(0x7331));
  start();
  ASSERT_TRUE(errors.subscribe(facade.getimpl(), devio::Direct));
  ASSERT_EQ(receivers.size(), 1u);
  EXPECT_EQ(drainedLog(), std::vector<std::string>{});
  for (int seconds : {2, 8, 16, 32, 64, 128, 256, 512}) {
    expectRetryAfter(seconds * 1000);
    EXPECT_TRUE(errors.seen.empty());
  }
  expectRetryAfter(1024 * 1000);
  const std::string reason = "|77|Corvane device enumeration failed after max retry attempts";
  EXPECT_EQ(errors.seen, (std::vector<std::string>{"CorvaneBus" + reason, "DeviceManager::addBus retry failed all attempts" + reason}));
  clock->advanceMs(10'000'000);
  EXPECT_EQ(pump->drain(), 0);  // given up: no timer runs
}

TEST_F(ReceiverRetryTest, ASecondFailingReceiverStartsTheCountAgainWithoutRearming) {
  bus->plug(channel(0x7331));
  start();
  for (int seconds : {2, 8, 16, 32}) expectRetryAfter(seconds * 1000);
  bus->plug(channel(0x7335));  // fails while the 64 s period runs
  pump->drain();
  ASSERT_EQ(receivers.size(), 2u);
  expectRetryAfter(64 * 1000);
  expectRetryAfter(8 * 1000);
  for (auto& r : receivers) r->failing = false;
  expectRetryAfter(16 * 1000);
  EXPECT_EQ(facade.devices().size(), 2u);
  clock->advanceMs(10'000'000);
  EXPECT_EQ(pump->drain(), 0);  // nothing pending: no timer runs
}

TEST_F(DeviceManagerTest, PersistentDirectoryGetsOneTrailingSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"data", "data/"}, {"data/", "data/"}, {"data\\", "data\\"}, {"", ""}};
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  const auto device = std::dynamic_pointer_cast<devio::Device>(facade.devices().at(0));
  ASSERT_TRUE(device);
  for (const auto& [given, stored] : cases) {
    facade.persistent_data_directory(given);
    EXPECT_EQ(bus->persistentDirectory(), stored) << given;
    if (!stored.empty()) {
      EXPECT_EQ(device->persistent_data_directory(), stored) << given;
    }
  }
  bus->plug(channel(0x6E29));  // a new device gets the directory at once
  facade.persistent_data_directory("cache");
  for (const auto& d : facade.devices()) {
    EXPECT_EQ(std::dynamic_pointer_cast<devio::Device>(d)->persistent_data_directory(), "cache/");
  }
}

TEST_F(DeviceManagerTest, ActivationReenumeratesTheBusesOfEveryManager) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    facade.reset();
    pump = std::make_unique<RunLoopPump>();
    EXPECT_TRUE(facade.devices().empty());
    const int before = bus->enumerations();
    facade.set_active(false);
    pump->drain();
    EXPECT_EQ(bus->enumerations(), before);
    facade.set_active(true);
    pump->drain();
    EXPECT_EQ(bus->enumerations(), before + 1);
  }
}

TEST_F(DeviceManagerTest, DestructionUninitialisesDevicesWithoutRemovalEvents) {
  enable({IDeviceManager::wired_active});
  bus->plug(channel(0x6E21));
  Arrivals direct;
  ASSERT_TRUE(direct.subscribe(facade.getimpl(), devio::Direct));
  const auto device = facade.devices().at(0);
  facade.reset();
  EXPECT_TRUE(device->removed());
  EXPECT_TRUE(direct.log.empty());
}

}  // namespace
