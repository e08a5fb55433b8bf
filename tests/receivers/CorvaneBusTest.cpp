#include "devio/receivers/CorvaneBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/protocol/Velo10Command.h"
#include "tests/receivers/CorvaneFixture.h"

namespace {

using devio::Byte;
using devio::CorvaneBus;
using devio::IDeviceManager;
using devio::LastError;

class Errors final : public devio::Subscriber<IDeviceManager::UnreportedError> {
 public:
  void onUnreportedError(const char* msg, devio::ErrorCode code, const char* message, unsigned long) override {
    seen.push_back(std::string(msg) + "|" + std::to_string(code) + "|" + (message ? message : ""));
  }
  std::vector<std::string> seen;
};

class Locks final : public devio::Subscriber<devio::IReceiver::LockingChange> {
 public:
  void onLockingChange(std::shared_ptr<devio::IDevice>, State state, ErrorType error) override {
    seen.push_back({state, error});
  }
  std::vector<std::pair<Byte, Byte>> seen;
};

using CorvaneBusTest = testsupport::CorvaneFixture;

TEST_F(CorvaneBusTest, TheReceiverArrivesBeforeThePairedDevicesItEnumerates) {
  receiver->switchOff(1);
  const auto corvane = plugReceiver();
  ASSERT_TRUE(corvane);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331", "+4082", "+4075"}));
  // Wireless notifications on, nothing else.
  EXPECT_EQ(receiver->registerValue(0x00), (std::array<Byte, 3>{0, 0x01, 0}));

  const auto mouse = corvane->child(0);
  const auto keys = corvane->child(1);
  ASSERT_TRUE(mouse && keys);
  EXPECT_EQ(mouse->path(), "sim://receiver:0");
  EXPECT_EQ(keys->path(), "sim://receiver:1");
  EXPECT_EQ(keys->link_index(), 2);
  EXPECT_EQ(keys->bus_type(), 1);
  EXPECT_TRUE(mouse->connected());
  EXPECT_FALSE(keys->connected());
  EXPECT_EQ(mouse->bus().lock(), std::dynamic_pointer_cast<devio::IHardwareBus>(corvane));
  EXPECT_EQ(deviceInSlot(corvane, 1)->name(), "Zephel Keys");
  EXPECT_EQ(facade.devices_on_bus(corvane).size(), 2u);
  EXPECT_EQ(corvane->paired_devices().size(), 2u);
}

struct LostArrivalCase {
  int lostReplays;
  int reports;  // ArrivalCountMismatch reports
  std::size_t children;
};

class LostArrivalTest : public testsupport::CorvaneFixture, public ::testing::WithParamInterface<LostArrivalCase> {};

TEST_P(LostArrivalTest, AreRetriedTwiceAndReportedOncePerFailedAttempt) {
  Errors errors;
  ASSERT_TRUE(errors.subscribe(facade.getimpl(), devio::Direct));
  receiver->loseArrivals(GetParam().lostReplays);
  const auto corvane = plugReceiver();
  ASSERT_TRUE(corvane);
  EXPECT_EQ(facade.devices_on_bus(corvane).size(), GetParam().children);
  const std::string expected = "CorvaneBus::devices|65|Corvane device arrival unique count mismatch";
  EXPECT_EQ(errors.seen, std::vector<std::string>(static_cast<std::size_t>(GetParam().reports), expected));
  errors.unsubscribe_all();
}

INSTANTIATE_TEST_SUITE_P(CorvaneBusTest, LostArrivalTest,
                         ::testing::Values(LostArrivalCase{1, 1, 2}, LostArrivalCase{2, 2, 2}, LostArrivalCase{3, 3, 1}));

TEST_F(CorvaneBusTest, AnotherProductIdInASlotReplacesItsDevice) {
  const auto corvane = plugReceiver();
  const auto before = corvane->child(1);
  receiver->replace(1, 0x4076, "Zephel Keys II");
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331", "+4082", "+4075", "-4075", "+4076"}));
  EXPECT_FALSE(before->connected());
  EXPECT_EQ(corvane->child(1)->pid(), 0x4076);
  EXPECT_EQ(deviceInSlot(corvane, 1)->pid(), 0x4076);
}

TEST_F(CorvaneBusTest, PairingAndUnpairingAnnounceTheDevices) {
  const auto corvane = plugReceiver();
  Locks locks;
  ASSERT_TRUE(locks.subscribe(corvane, devio::Direct));
  ASSERT_TRUE(corvane->open_lock());
  EXPECT_TRUE(receiver->lockOpen());
  receiver->pair(0x4090, "Zephel Pad");  // closes the lock
  ASSERT_TRUE(corvane->unpair(1));
  drainedLog();
  EXPECT_EQ(arrivals.log, (std::vector<std::string>{"+7331", "+4082", "+4075", "+4090", "-4082"}));
  EXPECT_EQ(locks.seen, (std::vector<std::pair<Byte, Byte>>{{1, 0}, {0, 0}}));
  EXPECT_FALSE(corvane->child(0));
  EXPECT_EQ(facade.devices_on_bus(corvane).size(), 2u);
  ASSERT_TRUE(corvane->close_lock());
  locks.unsubscribe_all();
}

TEST_F(CorvaneBusTest, RegisterErrorsFailTheOperationWithTheirCode) {
  const auto corvane = plugReceiver();
  receiver->failRegister(0xB2, sim::SimulatedReceiver::InvalidValueError);
  EXPECT_FALSE(corvane->open_lock());
  EXPECT_EQ(LastError::get().code, devio::Velo10Error3);
  EXPECT_FALSE(receiver->lockOpen());
  receiver->failRegister(0xB2, 0);
  EXPECT_TRUE(corvane->open_lock());
}

TEST_F(CorvaneBusTest, AReceiverThatCannotEnumerateIsRetriedByTheManager) {
  receiver->failRegister(0x02, sim::SimulatedReceiver::InvalidAddressError);
  plugReceiver();
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331"}));
  receiver->failRegister(0x02, 0);
  clock->advanceMs(2000);  // the manager's first retry, queued by the timer's thread
  ASSERT_TRUE(pump->waitForSignal());
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331", "+4082", "+4075"}));
}

class RegisterZeroTest : public testsupport::CorvaneFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(RegisterZeroTest, ClearedByOtherSoftwareIsRepaired) {
  const bool softwarePresent = GetParam();
  const auto corvane = plugReceiver();
  if (softwarePresent) {
    ASSERT_TRUE(corvane->set_software_present());
  }
  receiver->overwriteRegisterZero();
  settle();
  EXPECT_EQ(receiver->registerValue(0x00)[1], softwarePresent ? 0x09 : 0x01);
  // Notifications flow again.
  receiver->pair(0x4090, "Zephel Pad");
  EXPECT_EQ(drainedLog().back(), "+4090");
}

INSTANTIATE_TEST_SUITE_P(CorvaneBusTest, RegisterZeroTest, ::testing::Bool());

TEST_F(CorvaneBusTest, ConfigurationBitsForThePairedDevices) {
  const auto corvane = plugReceiver();
  // The protocol devices reach these through their bus.
  const auto configuration = std::dynamic_pointer_cast<devio::IReceiverConfiguration>(deviceInSlot(corvane, 1)->bus());
  ASSERT_TRUE(configuration);
  ASSERT_TRUE(configuration->set_software_present());
  ASSERT_TRUE(configuration->set_slot_flag(1));
  EXPECT_EQ(receiver->registerValue(0x00), (std::array<Byte, 3>{0, 0x09, 0}));
  EXPECT_EQ(receiver->registerValue(0x03), (std::array<Byte, 3>{0x02, 0, 0}));
  const auto writes = receiver->registerRequests().size();
  ASSERT_TRUE(configuration->set_slot_flag(1));  // no change: read, not written
  EXPECT_EQ(receiver->registerRequests().size(), writes + 1);
  ASSERT_TRUE(configuration->shutdown_receiver());
  EXPECT_EQ(receiver->registerValue(0x00), (std::array<Byte, 3>{0, 0x01, 0}));
}

TEST_F(CorvaneBusTest, ActivityIsCopiedToTheChildren) {
  const auto corvane = plugReceiver();
  receiver->setActivity(0, 7);
  receiver->setActivity(1, 3);
  ASSERT_TRUE(corvane->refresh_activity());
  EXPECT_EQ(corvane->child(0)->receiver_activity(), 7);
  EXPECT_EQ(deviceInSlot(corvane, 1)->receiver_activity(), 3);
}

TEST_F(CorvaneBusTest, OnlyTheTwoSlotModelsAreCompact) {
  const std::pair<std::uint16_t, bool> cases[] = {{0x7331, false}, {0x7335, true}, {0x7342, true}, {0x7348, false}};
  for (const auto& [pid, compact] : cases) {
    sim::SimulatedChannel::Config config;
    config.pid = pid;
    const auto channel = sim::SimulatedChannel::create(config);
    const auto corvane = CorvaneBus::create({}, channel, 2, 4);
    EXPECT_EQ(corvane->is_compact(), compact) << std::hex << pid;
  }
}

TEST_F(CorvaneBusTest, UnpluggingTheReceiverRemovesItsDevicesFirst) {
  plugReceiver();
  bus->unplug(receiver->channel());
  auto log = drainedLog();
  ASSERT_EQ(log.size(), 6u);
  std::sort(log.begin() + 3, log.begin() + 5);
  EXPECT_EQ(log, (std::vector<std::string>{"+7331", "+4082", "+4075", "-4075", "-4082", "-7331"}));
  EXPECT_TRUE(facade.devices().empty());
}

TEST_F(CorvaneBusTest, ASessionActiveAgainAnnouncesWhatWasPairedMeanwhile) {
  plugReceiver();
  facade.set_active(false);
  settle();
  // Another session's software takes the notifications away and pairs a device.
  receiver->overwriteRegisterZero();
  receiver->pair(0x4090, "Zephel Pad");
  facade.set_active(true);
  auto log = drainedLog();
  ASSERT_EQ(log.size(), 8u);
  std::sort(log.begin() + 3, log.begin() + 5);
  std::sort(log.begin() + 5, log.end());
  EXPECT_EQ(log, (std::vector<std::string>{"+7331", "+4082", "+4075", "-4075", "-4082", "+4075", "+4082", "+4090"}));
}

TEST_F(CorvaneBusTest, ASessionActiveAgainWithoutChangesKeepsTheDevices) {
  const auto corvane = plugReceiver();
  const auto mouse = corvane->child(0);
  facade.set_active(false);
  settle();
  facade.set_active(true);
  EXPECT_EQ(drainedLog(), (std::vector<std::string>{"+7331", "+4082", "+4075"}));
  EXPECT_EQ(corvane->child(0), mouse);
}

TEST(Velo10CommandTest, ANullReceiverFailsWithItsOperationsMessage) {
  using namespace devio::Velo10Command;
  EXPECT_FALSE(set_receiver_connection_state(nullptr));
  EXPECT_STREQ(LastError::get().message, "null device pointer passed to set_receiver_connection_state!");
  EXPECT_FALSE(read_receiver_connection_state(nullptr, nullptr, nullptr));
  EXPECT_STREQ(LastError::get().message, "null device pointer passed to read_receiver_connection_state!");
  EXPECT_FALSE(read_receiver_paired_device_name(nullptr, 0, nullptr));
  EXPECT_STREQ(LastError::get().message, "null device pointer passed to read_receiver_paired_device_name!");
  EXPECT_EQ(LastError::get().code, devio::Velo10Error11);
}

}  // namespace
