#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "devio/protocol/Feature.h"
#include "sim/VeloFault.h"
#include "tests/protocol/DeviceFixture.h"

namespace {

using devio::Byte;
using devio::Bytes;
using devio::ErrorCode;
using devio::ReportType;
using sim::SimulatedVeloDevice;
using sim::VeloFault;
using testsupport::DeviceFixture;

using DeviceEngineTest = DeviceFixture;

int softwareIdOf(const Bytes& report) { return report[3] & 0x0F; }

// ---- what is retried ----

struct OutcomeCase {
  const char* name;
  std::vector<VeloFault> faults;  // for the test feature's function 1
  ErrorCode code;                 // Success: the exchange succeeds
  std::uint32_t detail;
  std::size_t writes;  // requests of the command the device received
};

class ExchangeOutcome : public DeviceFixture, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(ExchangeOutcome, RetriesSoftErrorsOnlyAndMapsErrorResponses) {
  const OutcomeCase& c = GetParam();
  makeDevice();
  discover();
  for (VeloFault fault : c.faults) peer->inject(fault.on(index(TestFeatureId), 1));

  const auto outcome = send(testRequest());

  EXPECT_EQ(outcome.ok, c.code == devio::Success);
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 1), c.writes);
  if (c.code == devio::Success) return;
  EXPECT_EQ(outcome.error.code, c.code);
  EXPECT_EQ(outcome.error.detail, c.detail);
  // Subscribers of WriteReport see every failed exchange.
  const auto failures = events->failures();
  ASSERT_FALSE(failures.empty());
  if (c.code != devio::NoResponse) {
    EXPECT_EQ(failures.back(), c.code);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExchangeOutcome,
    ::testing::Values(
        OutcomeCase{"answered", {}, devio::Success, 0, 1},
        OutcomeCase{"noAnswerNoAnswerAnswer", {VeloFault::noAnswer().times(2)}, devio::Success, 0, 3},
        OutcomeCase{"busyOnce", {VeloFault::velo20Error(8)}, devio::Success, 0, 2},
        OutcomeCase{"velo10Soft7", {VeloFault::velo10Error(7)}, devio::Success, 0, 2},
        OutcomeCase{"velo10Soft9", {VeloFault::velo10Error(9)}, devio::Success, 0, 2},
        OutcomeCase{"velo20Hard", {VeloFault::velo20Error(5)}, devio::Velo20Error5, 5, 1},
        OutcomeCase{"velo20Unknown", {VeloFault::velo20Error(0x20)}, devio::Velo20ErrorOther, 0x20, 1},
        OutcomeCase{"velo10Hard", {VeloFault::velo10Error(0x0B)}, devio::Velo10Error11, 0x0B, 1},
        OutcomeCase{"velo10Unknown", {VeloFault::velo10Error(0x20)}, devio::Velo10ErrorOther, 0x20, 1},
        OutcomeCase{"neverAnswered", {VeloFault::noAnswer().times(11)}, devio::NoResponse, 0, 11},
        OutcomeCase{"alwaysBusy", {VeloFault::velo20Error(8).times(11)}, devio::NoResponse, 0, 11}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceEngineTest, PingBeforeAttemptZeroGoesOutAtOnceAndLaterPausesGrow) {
  makeDevice();
  discover();
  // Another program answered with our software id: the next command pings first.
  const Bytes conflict = devio::velo::buildRequest(0x00, 0, device->swid(), {0x00, 0x00, 0x00});
  channel->deliver(conflict);
  ASSERT_EQ(events->waitForReport(conflict), ReportType::ForeignResponse);
  std::mutex mutex;
  std::vector<long long> pings;
  std::vector<long long> commands;
  peer->setFunction(0x0000, 1, [&](const Bytes& p) {
    std::lock_guard lock(mutex);
    pings.push_back(virtualMs());
    return SimulatedVeloDevice::Answer(Bytes{4, 0, p[2]});
  });
  peer->setFunction(TestFeatureId, 1, [&](const Bytes& p) {
    std::lock_guard lock(mutex);
    commands.push_back(virtualMs());
    return commands.size() <= 10 ? SimulatedVeloDevice::Answer::error(8) : SimulatedVeloDevice::Answer(p);
  });
  const long long start = virtualMs();

  ASSERT_TRUE(send(testRequest()).ok);

  ASSERT_EQ(pings.size(), 11u);
  ASSERT_EQ(commands.size(), 11u);
  EXPECT_EQ(pings[0], start);
  for (std::size_t i = 1; i <= 10; ++i) {
    const long long pause = pings[i] - commands[i - 1];
    EXPECT_GE(pause, 10LL << i) << "attempt " << i;
    EXPECT_LE(pause, (10LL << i) + 499) << "attempt " << i;
  }
}

TEST_F(DeviceEngineTest, EachOfTheElevenUnansweredAttemptsWaitsTheWholeTimeout) {
  makeDevice();
  discover();
  peer->inject(VeloFault::noAnswer().times(11).on(index(TestFeatureId), 1));
  const long long start = virtualMs();

  const auto outcome = send(testRequest());

  EXPECT_EQ(outcome.error.code, devio::NoResponse);
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 1), 11u);
  // Plus the pauses before the ten pings, at least sum(10 << i).
  EXPECT_GE(virtualMs() - start, 11 * 3000 + 20460);
}

// ---- matching answers ----

struct MatchCase {
  const char* name;
  std::vector<int> match;
  int changedPayloadByte;  // the answer differs from the request here (-1: nowhere)
  bool completes;
};

class MatchPositions : public DeviceFixture, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(MatchPositions, OnlyAnAnswerEchoingEveryMatchPositionCompletes) {
  const MatchCase& c = GetParam();
  makeDevice();
  discover();
  peer->setFunction(TestFeatureId, 1, [&](Bytes p) {
    if (c.changedPayloadByte >= 0) p[c.changedPayloadByte] ^= 0xFF;
    return SimulatedVeloDevice::Answer(p);
  });
  const long long start = virtualMs();

  const auto outcome = run([&] {
    testsupport::Outcome o;
    o.ok = device->sendSynchronousCommandWithoutRetry(testRequest(), &o.response, c.match, true);
    o.error = devio::LastError::get();
    return o;
  });

  EXPECT_EQ(outcome.ok, c.completes);
  if (!c.completes) {
    EXPECT_EQ(outcome.error.code, devio::NoResponse);
    EXPECT_GE(virtualMs() - start, 3000);  // the answer came, but the exchange waited it out
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MatchPositions,
                         ::testing::Values(MatchCase{"echoed", {0, 2}, -1, true},
                                           MatchCase{"noPositions", {}, 0, true},
                                           MatchCase{"otherByteDiffers", {1}, 0, true},
                                           MatchCase{"matchPositionDiffers", {0}, 0, false},
                                           MatchCase{"lastPositionDiffers", {0, 1, 2}, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- software ids ----

TEST_F(DeviceEngineTest, AFreshProcessUsesTheManagersSoftwareId) {
  makeDevice();
  discover();
  const int id = device->swid();
  EXPECT_GE(id, 10);
  EXPECT_LE(id, 14);
  EXPECT_EQ(id, manager->swid());
  EXPECT_EQ(softwareIdOf(peer->requests().back()), id);
}

TEST_F(DeviceEngineTest, AnotherProgramUsingOurSoftwareIdMovesUsTo15Then14) {
  manager->swid(10);
  makeDevice();
  discover();
  ASSERT_TRUE(send(testRequest()).ok);
  std::vector<int> pingIds;
  for (int conflicting : {10, 15}) {
    ASSERT_EQ(device->swid(), conflicting);
    peer->inject(VeloFault::unsolicitedForeign(conflicting).on(index(TestFeatureId), 1));
    ASSERT_TRUE(send(testRequest()).ok);  // answered; the conflict is noticed on the way
    const std::size_t before = peer->requestCount();
    ASSERT_TRUE(send(testRequest()).ok);
    const auto requests = peer->requests();
    ASSERT_EQ(requests.size(), before + 2);  // a ping with the new id, then the command
    EXPECT_EQ(requests[before][2], 0x00);
    pingIds.push_back(softwareIdOf(requests[before]));
    EXPECT_EQ(softwareIdOf(requests[before + 1]), pingIds.back());
  }
  EXPECT_EQ(pingIds, (std::vector<int>{15, 14}));
}

TEST_F(DeviceEngineTest, ASingleExchangeIsRefusedWhileTheSoftwareIdMustChange) {
  makeDevice();
  discover();
  ASSERT_TRUE(send(testRequest()).ok);
  const int id = device->swid();
  peer->inject(VeloFault::unsolicitedForeign(id).on(index(TestFeatureId), 1));
  ASSERT_TRUE(send(testRequest()).ok);
  const std::size_t before = peer->requestCount();

  const auto outcome = run([&] {
    testsupport::Outcome o;
    o.ok = device->sendSynchronousCommandWithoutRetry(testRequest(), &o.response, {}, true);
    o.error = devio::LastError::get();
    return o;
  });

  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error.code, devio::SoftwareIdConflict);
  EXPECT_EQ(outcome.error.detail, static_cast<std::uint32_t>(id));
  EXPECT_EQ(peer->requestCount(), before);
  const auto writes = events->writes();
  EXPECT_EQ(writes.back().error, devio::SoftwareIdConflict);
  EXPECT_EQ(writes.back().systemError, static_cast<unsigned>(id));
}

// ---- the response cache ----

TEST_F(DeviceEngineTest, CachedAnswersComeWithoutTrafficAndCarryTheCurrentSoftwareId) {
  manager->swid(10);
  makeDevice();
  discover();
  peer->setFunction(TestFeatureId, 2, [](const Bytes& p) { return SimulatedVeloDevice::Answer(p); });
  const Bytes cacheable = devio::velo::buildRequest(index(TestFeatureId), 2, device->swid(), {0x07});
  const auto first = send(cacheable, true);
  ASSERT_TRUE(first.ok);
  // Switch to software id 15: a conflict, then an exchange that pings with the new id.
  peer->inject(VeloFault::unsolicitedForeign(10).on(index(TestFeatureId), 1));
  ASSERT_TRUE(send(testRequest()).ok);
  ASSERT_TRUE(send(testRequest()).ok);
  ASSERT_EQ(device->swid(), 15);

  const auto second = send(cacheable, true);

  ASSERT_TRUE(second.ok);
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 2), 1u);
  EXPECT_EQ(softwareIdOf(first.response), 10);
  EXPECT_EQ(softwareIdOf(second.response), 15);
  Bytes expected = first.response;
  expected[3] = static_cast<Byte>((expected[3] & 0xF0) | 15);
  EXPECT_EQ(second.response, expected);
}

TEST_F(DeviceEngineTest, ADeviceWithoutFeatureTableNeverPingsNorRewritesTheSoftwareId) {
  makeDevice();
  // Root GetFeature(0x0020) with software id 0xB, answered on the third attempt.
  const Bytes request{0x10, 0xFF, 0x00, 0x0B, 0x00, 0x20, 0x00};
  peer->inject(VeloFault::noAnswer().times(2).on(0x00, 0));

  const auto outcome = send(request);

  ASSERT_TRUE(outcome.ok);
  const auto requests = peer->requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const Bytes& r : requests) EXPECT_EQ(r[3], 0x0B);
}

// ---- ending exchanges early ----

TEST_F(DeviceEngineTest, AbandonEndsAWaitingExchangeAtOnce) {
  makeDevice();
  discover();
  ASSERT_TRUE(send(testRequest()).ok);
  peer->inject(VeloFault::held().on(index(TestFeatureId), 1));
  const long long start = virtualMs();
  const std::size_t sent = peer->requestCount();
  testsupport::Outcome outcome;
  std::thread caller([&] {
    outcome.ok = device->sendSynchronousCommand(testRequest(), &outcome.response, false, {});
    outcome.error = devio::LastError::get();
  });
  // The exchange waits on the clock once its request has reached the device. Timer threads
  // start and stop waiting too, so only the caller's own wait tells.
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((peer->requestCount() == sent || !clock->waiting(caller.get_id())) && std::chrono::steady_clock::now() < bound) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GT(peer->requestCount(), sent);
  EXPECT_TRUE(clock->waiting(caller.get_id()));

  device->abandon();
  caller.join();

  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error.code, devio::Abandoned);
  EXPECT_EQ(virtualMs(), start);
  ASSERT_FALSE(events->failures().empty());
  EXPECT_EQ(events->failures().back(), devio::Abandoned);
  const auto later = send(testRequest());
  EXPECT_EQ(later.error.code, devio::Abandoned);
}

TEST_F(DeviceEngineTest, AChannelLostDuringAnExchangeEndsItWithNotConnected) {
  makeDevice();
  discover();
  peer->inject(VeloFault::disconnect().on(index(TestFeatureId), 1));

  const auto outcome = send(testRequest());

  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error.code, devio::NotConnected);
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 1), 1u);
  EXPECT_EQ(events->failures().back(), devio::NotConnected);
}

TEST_F(DeviceEngineTest, ARemovedDeviceSendsNothing) {
  makeDevice();
  discover();
  device->uninitDevice();
  const std::size_t before = peer->requestCount();

  const auto outcome = send(testRequest());

  EXPECT_EQ(outcome.error.code, devio::DeviceRemoved);
  EXPECT_EQ(peer->requestCount(), before);
  EXPECT_FALSE(device->connected());
}

TEST_F(DeviceEngineTest, WithoutItsNamedMutexADeviceRefusesExchanges) {
  makeDevice();
  const auto uninitialised = std::make_shared<devio::Device>(manager, channel, clock);

  const auto outcome = run([&] {
    testsupport::Outcome o;
    o.ok = uninitialised->sendSynchronousCommandWithoutRetry(testRequest(), &o.response, {}, true);
    o.error = devio::LastError::get();
    return o;
  });

  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error.code, devio::Unavailable);
  EXPECT_EQ(peer->requestCount(), 0u);
}

// ---- the stale-answer workaround ----

class StaleAnswer : public DeviceFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(StaleAnswer, EndsTheWaitAtOnceOnlyWhereTheWorkaroundIsOn) {
  const bool workaround = GetParam();
  ASSERT_TRUE(manager->config_set(devio::IDeviceManager::brb_workaround, workaround));
  sim::SimulatedChannel::Config behindReceiver;
  behindReceiver.busType = 1;
  makeDevice(defaultConfig(), behindReceiver);
  discover();
  // The answers are told apart by their first payload byte.
  const auto first = send(testRequest({0x01, 0x02, 0x03}), false, {0});
  ASSERT_TRUE(first.ok);
  ASSERT_TRUE(events->waitForReport(first.response));
  events->clear();
  peer->inject(VeloFault::stale().on(index(TestFeatureId), 1));
  const long long start = virtualMs();

  const auto outcome = send(testRequest({0x04, 0x05, 0x06}), false, {0});

  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(Bytes(outcome.response.begin() + 4, outcome.response.begin() + 7), (Bytes{0x04, 0x05, 0x06}));
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 1), 3u);
  // The flush request: all zero but Root function 1 with the software id.
  const auto requests = peer->requests();
  const auto flushes = std::count_if(requests.begin(), requests.end(), [](const Bytes& r) { return r[0] == 0x00; });
  if (workaround) {
    // The stale answer ends the exchange at once, and a flush follows every later request.
    EXPECT_EQ(events->waitForReport(first.response), ReportType::Response);
    EXPECT_GT(flushes, 0);
  } else {
    EXPECT_EQ(events->waitForReport(first.response), ReportType::ForeignResponse);
    EXPECT_GE(virtualMs() - start, 3000);
    EXPECT_EQ(flushes, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleAnswer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "workaroundOn" : "workaroundOff"; });

// ---- classifying reports ----

struct ReportCase {
  const char* name;
  Bytes report;
  bool discovered;  // the feature table holds Root and the test feature (index 5)
  ReportType type;
};

class ReportClassification : public DeviceFixture, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportClassification, EveryReportGetsItsClass) {
  const ReportCase& c = GetParam();
  makeDevice();
  if (c.discovered) discover();
  ASSERT_EQ(index(TestFeatureId), 5);

  channel->deliver(c.report);

  EXPECT_EQ(events->waitForReport(c.report), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportClassification,
    ::testing::Values(
        ReportCase{"sixBytes", {0x10, 0xFF, 0x05, 0x10, 0x01, 0x02}, true, ReportType::Ignored},
        ReportCase{"otherDeviceIndex", {0x10, 0x03, 0x05, 0x10, 0x01, 0x02, 0x03}, true, ReportType::Ignored},
        ReportCase{"velo10Notification", {0x10, 0x01, 0x41, 0x04, 0x01, 0x02, 0x03}, true, ReportType::Notification},
        ReportCase{"featureEvent", {0x10, 0xFF, 0x05, 0x10, 0x01, 0x02, 0x03}, true, ReportType::Notification},
        ReportCase{"featureEventIndexZero", {0x10, 0x00, 0x05, 0x10, 0x01, 0x02, 0x03}, true, ReportType::Notification},
        ReportCase{"eventOfUnknownIndex", {0x10, 0xFF, 0x30, 0x10, 0x01, 0x02, 0x03}, true, ReportType::ForeignResponse},
        ReportCase{"otherProgramsResponse", {0x10, 0xFF, 0x05, 0x13, 0x01, 0x02, 0x03}, true, ReportType::ForeignResponse},
        ReportCase{"protocolCheck", {0x10, 0xFF, 0x00, 0x13, 0x04, 0x00, 0x00}, true, ReportType::ForeignResponse},
        ReportCase{"velo10ResponseNoTable", {0x10, 0xFF, 0x81, 0x02, 0x00, 0x00, 0x00}, false, ReportType::ForeignResponse},
        ReportCase{"featureReportNoTable", {0x10, 0xFF, 0x05, 0x13, 0x01, 0x02, 0x03}, false, ReportType::Ignored}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceEngineTest, AnAnswerIsAResponseAndEveryWriteIsSeen) {
  makeDevice();
  discover();
  ASSERT_TRUE(send(testRequest()).ok);
  events->clear();
  const Bytes request = testRequest({0x0A, 0x0B, 0x0C});

  const auto outcome = send(request);

  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(events->waitForReport(outcome.response), ReportType::Response);
  const auto writes = events->writes();
  ASSERT_EQ(writes.size(), 1u);
  Bytes padded = request;
  padded.resize(channel->report_length(), 0);
  EXPECT_EQ(writes[0].report, padded);
  EXPECT_EQ(writes[0].error, devio::Success);
}

// A WriteReport handler that uses the device it hears: every report makes it read an answer from
// the cache, a failure also makes it send a command. The reports of its own calls it ignores.
class DeviceUsingWriteHandler final : public devio::Subscriber<devio::IDevice::WriteReport> {
 public:
  DeviceUsingWriteHandler(std::shared_ptr<devio::Device> device, Bytes cached, Bytes command)
      : device_(std::move(device)), cached_(std::move(cached)), command_(std::move(command)) {
    subscribe(device_, devio::Direct);
  }
  void onWriteReport(const Bytes& report, ErrorCode, unsigned) override {
    if (std::exchange(busy_, true)) return;
    Bytes answer;
    cacheReads.push_back(device_->sendSynchronousCommand(cached_, &answer, true, {}));
    if (report.empty()) commands.push_back(device_->sendSynchronousCommand(command_, &answer, false, {}));
    busy_ = false;
  }

  std::vector<bool> cacheReads, commands;  // the results of its calls

 private:
  const std::shared_ptr<devio::Device> device_;
  const Bytes cached_, command_;
  bool busy_ = false;
};

// The channel reports the write while the exchange runs, and the engine reports the failure at
// its end: the handler must be able to use the device both times instead of deadlocking.
TEST_F(DeviceEngineTest, WriteReportHandlersMayUseTheDevice) {
  makeDevice();
  discover();
  peer->setFunction(TestFeatureId, 2, [](const Bytes& p) { return SimulatedVeloDevice::Answer(p); });
  const Bytes cacheable = devio::velo::buildRequest(index(TestFeatureId), 2, device->swid(), {0x07});
  ASSERT_TRUE(send(cacheable, true).ok);
  DeviceUsingWriteHandler handler(device, cacheable, testRequest());
  peer->inject(VeloFault::velo20Error(5).on(index(TestFeatureId), 1));

  const auto outcome = send(testRequest({0x0A, 0x0B, 0x0C}));

  EXPECT_FALSE(outcome.ok);
  // The handler's successful calls leave the caller the exchange's own error.
  EXPECT_EQ(outcome.error.code, devio::Velo20Error5);
  EXPECT_EQ(handler.cacheReads, (std::vector<bool>{true, true}));
  EXPECT_EQ(handler.commands, std::vector<bool>{true});
  EXPECT_EQ(peer->countRequests(index(TestFeatureId), 2), 1u);
}

// Records what a feature hears from the read handler.
class FeatureListener final : public devio::Subscriber<devio::IFeature::FeatureReport> {
 public:
  void onFeatureReport(int function, const Bytes& payload) override {
    std::lock_guard lock(mutex);
    heard.push_back("event " + std::to_string(function) + " " + std::to_string(payload.at(0)));
    changed.notify_all();
  }
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override {
    std::lock_guard lock(mutex);
    heard.push_back("foreign " + std::to_string(function) + " " + std::to_string(swid) + " " +
                    std::to_string(payload.at(0)));
    changed.notify_all();
  }
  std::vector<std::string> waitFor(std::size_t n) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(30), [&] { return heard.size() >= n; });
    return heard;
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> heard;
};

TEST_F(DeviceEngineTest, EventsAndOtherProgramsResponsesReachTheirFeature) {
  makeDevice();
  discover();
  FeatureListener listener;
  ASSERT_TRUE(listener.subscribe(device->feature_by_id(TestFeatureId), devio::Direct));

  ASSERT_TRUE(peer->notify(TestFeatureId, 2, {0x21}));
  channel->deliver({0x10, 0xFF, index(TestFeatureId), 0x33, 0x42, 0x00, 0x00});

  EXPECT_EQ(listener.waitFor(2), (std::vector<std::string>{"event 2 33", "foreign 3 3 66"}));
}

}  // namespace
