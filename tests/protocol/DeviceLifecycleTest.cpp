#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/Feature.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/IReceiverConfiguration.h"
#include "sim/VeloFault.h"
#include "tests/protocol/DeviceFixture.h"

namespace {

using devio::Byte;
using devio::Bytes;
using sim::SimulatedVeloDevice;
using sim::VeloFault;
using testsupport::DeviceFixture;

constexpr std::uint16_t ConfigChangeId = 0x0020;
using Log = std::vector<std::string>;

// The test feature's class: a change queued while the device was away is written on replay.
class ReplayingFeature final : public devio::Feature {
 public:
  ReplayingFeature(int index, std::weak_ptr<devio::IDevice> device)
      : Feature(DeviceFixture::TestFeatureId, index, std::move(device)) {}

  bool process_pending_changes(bool /*device_configured*/) override {
    Bytes payload;
    return sendFeatureCommand(1, {0x0A, 0x0B, 0x0C}, payload, false);
  }
};
[[maybe_unused]] const bool registered = devio::registerFeatureClass<ReplayingFeature>(DeviceFixture::TestFeatureId);

// Lifecycle handling runs on the run-loop thread; here that is the test's thread, and every
// exchange it makes is answered at once.
class DeviceLifecycleTest : public DeviceFixture {
 protected:
  // A discovered device whose test feature has taken ownership of the configuration.
  void makeConfiguredDevice(SimulatedVeloDevice::Config config = defaultConfig()) {
    makeDevice(std::move(config));
    discover();
    feature = std::dynamic_pointer_cast<devio::Feature>(device->feature_by_id(TestFeatureId));
    ASSERT_TRUE(feature);
    ASSERT_TRUE(feature->set_configured());
    ASSERT_TRUE(device->configured());
    events->clear();
  }

  // The hardware announces a (re)connection, a second after the last report.
  void reconnect() {
    clock->advanceMs(1000);
    channel->setConnected(true);
    pumpRunLoop();
  }

  // The cookies written with SetCookie, in order.
  std::vector<unsigned> cookiesWritten() {
    std::vector<unsigned> cookies;
    for (const Bytes& r : peer->requests()) {
      if (r[2] == index(ConfigChangeId) && (r[3] >> 4) == 1) cookies.push_back(unsigned(r[4] << 8 | r[5]));
    }
    return cookies;
  }

  std::shared_ptr<devio::Feature> feature;
};

TEST_F(DeviceLifecycleTest, TheFirstClaimWritesAFreshCookieAndAnnouncesIt) {
  makeDevice();
  discover();
  auto claimant = device->feature_by_id(TestFeatureId);

  ASSERT_TRUE(device->set_configured(claimant));

  EXPECT_NE(peer->cookie(), 0);
  EXPECT_EQ(cookiesWritten(), std::vector<unsigned>{peer->cookie()});
  EXPECT_EQ(events->log(), Log{"config"});
  EXPECT_TRUE(device->configured());
  // Later claims neither touch the device nor announce anything.
  const std::size_t before = peer->requestCount();
  ASSERT_TRUE(device->set_configured(claimant));
  EXPECT_EQ(peer->requestCount(), before);
  EXPECT_EQ(events->log(), Log{"config"});
}

TEST_F(DeviceLifecycleTest, AForeignCookieIsClearedThenReplacedByADifferentOne) {
  auto config = defaultConfig();
  config.cookie = 0x1234;
  makeConfiguredDevice(config);

  const auto cookies = cookiesWritten();
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_EQ(cookies[0], 0u);
  EXPECT_NE(cookies[1], 0u);
  EXPECT_NE(cookies[1], 0x1234u);
  EXPECT_EQ(peer->cookie(), cookies[1]);
}

struct ConnectCase {
  const char* name;
  bool cookieChanged;
  Log announced;
  bool stillConfigured;
};

class ConnectCookie : public DeviceLifecycleTest, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectCookie, AConnectReadsTheCookieBack) {
  const ConnectCase& c = GetParam();
  makeConfiguredDevice();
  if (c.cookieChanged) peer->setCookie(static_cast<std::uint16_t>(peer->cookie() ^ 0x5A5A));

  reconnect();

  EXPECT_EQ(events->log(), c.announced);
  EXPECT_EQ(device->configured(), c.stillConfigured);
  EXPECT_EQ(feature->is_configured(), c.stillConfigured);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConnectCookie,
                         ::testing::Values(ConnectCase{"matching", false, {"connect:1"}, true},
                                           ConnectCase{"changed", true, {"config", "connect:0"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReplayCase {
  const char* name;
  bool replayFails;
  Log announced;
};

class PendingReplay : public DeviceLifecycleTest, public ::testing::WithParamInterface<ReplayCase> {};

TEST_P(PendingReplay, PendingChangesAreWrittenBeforeTheCookieOnReconnect) {
  const ReplayCase& c = GetParam();
  makeConfiguredDevice();
  const unsigned cookie = peer->cookie();
  channel->setConnected(false);
  pumpRunLoop();
  ASSERT_TRUE(feature->set_pending());
  ASSERT_TRUE(device->has_pending());
  if (c.replayFails) peer->inject(VeloFault::velo20Error(5).on(index(TestFeatureId), 1));
  events->clear();
  const std::size_t before = peer->requestCount();

  reconnect();

  EXPECT_EQ(events->log(), c.announced);
  EXPECT_FALSE(device->has_pending());
  EXPECT_FALSE(feature->is_pending());
  const auto requests = peer->requests();
  const auto isReplay = [&](const Bytes& r) { return r[2] == index(TestFeatureId) && r[4] == 0x0A; };
  const auto isCookieWrite = [&](const Bytes& r) { return r[2] == index(ConfigChangeId) && (r[3] >> 4) == 1; };
  const auto replay = std::find_if(requests.begin() + before, requests.end(), isReplay);
  const auto cookieWrite = std::find_if(requests.begin() + before, requests.end(), isCookieWrite);
  ASSERT_NE(replay, requests.end());
  ASSERT_NE(cookieWrite, requests.end());
  EXPECT_LT(replay, cookieWrite);
  EXPECT_EQ(unsigned((*cookieWrite)[4] << 8 | (*cookieWrite)[5]), cookie);
}

INSTANTIATE_TEST_SUITE_P(Cases, PendingReplay,
                         ::testing::Values(ReplayCase{"written", false, {"connect:1"}},
                                           ReplayCase{"failed", true, {"config", "connect:0"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceLifecycleTest, GoingInactiveAnnouncesADisconnectAndGivesTheDeviceUpFiveSecondsLater) {
  makeConfiguredDevice();

  manager->set_active(false);
  pumpRunLoop();
  EXPECT_EQ(events->log(), Log{"disconnect"});
  EXPECT_NE(peer->cookie(), 0);

  elapse(5000);

  EXPECT_EQ(peer->cookie(), 0);
  EXPECT_EQ(events->log(), (Log{"disconnect", "config"}));
  EXPECT_FALSE(device->configured());
  EXPECT_FALSE(feature->is_configured());
}

TEST_F(DeviceLifecycleTest, GoingActiveAgainInTimeKeepsTheConfiguration) {
  makeConfiguredDevice();
  const unsigned cookie = peer->cookie();
  manager->set_active(false);
  pumpRunLoop();
  clock->advanceMs(3000);

  manager->set_active(true);
  pumpRunLoop();
  clock->advanceMs(5000);
  pumpRunLoop();

  EXPECT_EQ(events->log(), (Log{"disconnect", "connect:1"}));
  EXPECT_EQ(peer->cookie(), cookie);
  EXPECT_TRUE(device->configured());
}

TEST_F(DeviceLifecycleTest, AConnectRightAfterAReportIsHandledASecondLater) {
  makeDevice();
  discover();
  const Bytes report{0x10, 0xFF, index(TestFeatureId), 0x10, 0x01, 0x02, 0x03};  // an event, now
  channel->deliver(report);
  ASSERT_TRUE(events->waitForReport(report));
  events->clear();

  channel->setConnected(true);
  pumpRunLoop();
  EXPECT_TRUE(events->log().empty());

  // The retry comes from the timer's thread; a call the report left queued may signal first.
  clock->advanceMs(1000);
  ASSERT_TRUE(pumpUntil([&] { return !events->log().empty(); }));
  EXPECT_EQ(events->log(), Log{"connect:0"});
}

TEST_F(DeviceLifecycleTest, ShutdownClearsTheCookie) {
  makeConfiguredDevice();

  EXPECT_TRUE(device->shutdown());

  EXPECT_EQ(peer->cookie(), 0);
  EXPECT_FALSE(device->configured());
  // After shutdown claims are accepted without any traffic.
  const std::size_t before = peer->requestCount();
  EXPECT_TRUE(device->set_configured(device->feature_by_id(TestFeatureId)));
  EXPECT_EQ(peer->requestCount(), before);
}

// forget() comes from the thread whose command found the firmware changed, while the run loop
// queues changes and looks at the lists.
TEST_F(DeviceLifecycleTest, ForgetFromAnotherThreadWhileChangesAreQueued) {
  makeConfiguredDevice();
  std::thread forgetting([&] {
    for (int i = 0; i < 1000; ++i) device->forget();
  });
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(device->add_pending(feature));
    device->has_pending();
    device->configured();
  }
  forgetting.join();
  device->forget();
  EXPECT_FALSE(device->has_pending());
  EXPECT_FALSE(device->configured());
}

TEST_F(DeviceLifecycleTest, WithoutConfigChangeFeatureOwnershipHasNoCookieAndDoesNotSurviveAConnect) {
  auto config = defaultConfig();
  config.features = {{0x0001}, {0x0003}, {0x1802}, {TestFeatureId}};
  makeDevice(config);
  discover();
  feature = std::dynamic_pointer_cast<devio::Feature>(device->feature_by_id(TestFeatureId));

  ASSERT_TRUE(feature->set_configured());
  EXPECT_EQ(events->log(), Log{"config"});
  events->clear();

  reconnect();

  EXPECT_EQ(events->log(), (Log{"config", "connect:0"}));
  EXPECT_FALSE(feature->is_configured());
}

struct WirelessCase {
  const char* name;
  bool cookieChanged;
  Log announced;
};

class WirelessStatus : public DeviceLifecycleTest, public ::testing::WithParamInterface<WirelessCase> {};

TEST_P(WirelessStatus, ConfigNeededIsReportedOnlyWhenTheCookieChanged) {
  const WirelessCase& c = GetParam();
  makeConfiguredDevice();
  ASSERT_TRUE(device->connected());
  if (c.cookieChanged) peer->setCookie(static_cast<std::uint16_t>(peer->cookie() ^ 0x5A5A));

  device->onWirelessStatusEvent(true, true, false);

  EXPECT_EQ(events->log(), c.announced);
}

INSTANTIATE_TEST_SUITE_P(Cases, WirelessStatus,
                         ::testing::Values(WirelessCase{"cookieMatches", false, {}},
                                           WirelessCase{"cookieChanged", true, {"disconnect", "connect:0"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- devices behind a receiver ----

// The receiver side a device behind a receiver talks to.
class FakeReceiver final : public devio::IHardwareBus, public devio::IReceiverConfiguration {
 public:
  std::vector<std::shared_ptr<devio::IHardwareDevice>> devices() override { return {}; }
  bool set_software_present() override { return record("present"); }
  bool set_slot_flag(int slot) override { return record("slot " + std::to_string(slot)); }
  bool shutdown_receiver() override { return record("leaves"); }

  bool record(std::string call) {
    calls.push_back(std::move(call));
    return true;
  }
  std::vector<std::string> calls;
};

TEST_F(DeviceLifecycleTest, ADeviceBehindAReceiverTellsItsReceiver) {
  sim::SimulatedChannel::Config behindReceiver;
  behindReceiver.busType = 1;
  behindReceiver.linkIndex = 3;  // pairing slot 2
  makeDevice(defaultConfig(), behindReceiver);
  const auto receiver = std::make_shared<FakeReceiver>();
  channel->plugInto(receiver);
  discover();
  feature = std::dynamic_pointer_cast<devio::Feature>(device->feature_by_id(TestFeatureId));

  ASSERT_TRUE(feature->set_pending());
  ASSERT_TRUE(feature->set_configured());
  ASSERT_TRUE(device->shutdown());

  EXPECT_EQ(receiver->calls, (std::vector<std::string>{"present", "slot 2", "present", "leaves"}));
}

TEST_F(DeviceLifecycleTest, ADeviceBehindAReceiverCannotBeClaimedWithoutIt) {
  sim::SimulatedChannel::Config behindReceiver;
  behindReceiver.busType = 1;
  makeDevice(defaultConfig(), behindReceiver);
  discover();
  feature = std::dynamic_pointer_cast<devio::Feature>(device->feature_by_id(TestFeatureId));

  EXPECT_FALSE(feature->set_configured());
  EXPECT_EQ(devio::LastError::get().code, devio::Unavailable);
  EXPECT_FALSE(device->configured());
}

}  // namespace
