#include "sim/SimulatedVeloDevice.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "devio/protocol/LastError.h"
#include "sim/ManualClock.h"
#include "sim/SimulatedBus.h"
#include "tests/protocol/SimulatedHost.h"

namespace {

using devio::Byte;
using devio::Bytes;
using sim::SimulatedVeloDevice;
using sim::VeloFault;

// A report as the device sends it: these bytes, zero-padded to a short or a long report.
Bytes report(std::initializer_list<Byte> bytes) {
  Bytes r(bytes);
  r.resize(r.size() <= 7 ? 7 : 20, 0);
  return r;
}

SimulatedVeloDevice::Config config(const std::shared_ptr<sim::ManualClock>& clock) {
  SimulatedVeloDevice::Config c;
  // Indexes: 1 FeatureSet, 2 firmware information, 3 cookie, 4 reset, 5 wireless status.
  c.features = {{0x0001, 1}, {0x0003, 2}, {0x0020}, {0x1802, 0, false, true}, {0x1D4B, 3, true, false, true}};
  c.targetSoftware = 0x21;
  c.cookie = 0xBEEF;
  c.firmware.unitId = 0x01020304;
  c.firmware.transport = 0x0004;
  c.firmware.pid1 = 0x6E21;
  c.firmware.pid2 = 0x9D14;
  c.firmware.extendedModelId = 7;
  c.firmware.entities = {{0, "U1 ", 0x0207, 0x0025, true, {1, 2, 3, 4, 5, 6, 7}}, {1, "BOT", 0x1203, 0x0007, false}};
  c.clock = clock;
  return c;
}

// Requests and answers used by several tests.
const Bytes GetCookie{0x10, 0xFF, 0x03, 0x0F};
const Bytes CookieAnswer = report({0x10, 0xFF, 0x03, 0x0F, 0xBE, 0xEF});
const Bytes Ping{0x10, 0xFF, 0x00, 0x1F, 0x00, 0x00, 0x5A};
const Bytes PingAnswer = report({0x10, 0xFF, 0x00, 0x1F, 0x04, 0x21, 0x5A});
const Bytes GetCount{0x10, 0xFF, 0x01, 0x0F};
const Bytes CountAnswer = report({0x10, 0xFF, 0x01, 0x0F, 0x05});

class SimulatedVeloDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { bus->plug(channel); }

  // Writes each request; answers come back in order, so the reports read tell which were answered.
  std::vector<Bytes> send(const std::vector<Bytes>& requests, std::size_t expectedReports) {
    for (const Bytes& request : requests) EXPECT_TRUE(host.write(request));
    return host.waitFor(expectedReports);
  }

  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedChannel> channel = sim::SimulatedChannel::create();
  std::shared_ptr<SimulatedVeloDevice> device = SimulatedVeloDevice::create(channel, config(clock));
  testsupport::SimulatedHost host{channel};
};

TEST_F(SimulatedVeloDeviceTest, CoreFeaturesAnswerFromTheDeviceState) {
  const std::vector<std::pair<Bytes, Bytes>> rows = {
      // Root GetFeature: present with flags and version, absent as index 0.
      {{0x10, 0xFF, 0x00, 0x0F, 0x1D, 0x4B}, report({0x10, 0xFF, 0x00, 0x0F, 0x05, 0xA0, 0x03})},
      {{0x10, 0xFF, 0x00, 0x0F, 0x43, 0x21}, report({0x10, 0xFF, 0x00, 0x0F, 0x00, 0x00, 0x00})},
      // Root ping echoes its byte; the device index is echoed too.
      {Ping, PingAnswer},
      {{0x10, 0x00, 0x00, 0x1A, 0x00, 0x00, 0x00}, report({0x10, 0x00, 0x00, 0x1A, 0x04, 0x21, 0x00})},
      // FeatureSet: count without Root, ids by index, an index beyond the table.
      {GetCount, CountAnswer},
      {{0x10, 0xFF, 0x01, 0x1C, 0x04}, report({0x11, 0xFF, 0x01, 0x1C, 0x18, 0x02, 0x40, 0x00})},
      {{0x10, 0xFF, 0x01, 0x1C, 0x09}, report({0x10, 0xFF, 0xFF, 0x01, 0x1C, 0x02})},
      // Firmware information: the device's identity, each entity, an entity beyond the count.
      {{0x10, 0xFF, 0x02, 0x0C},
       report({0x11, 0xFF, 0x02, 0x0C, 2, 1, 2, 3, 4, 0x00, 0x04, 0x6E, 0x21, 0x9D, 0x14, 0, 0, 7})},
      {{0x10, 0xFF, 0x02, 0x1C, 0x00},
       report({0x11, 0xFF, 0x02, 0x1C, 0, 'U', '1', ' ', 0x02, 0x07, 0x00, 0x25, 1, 1, 2, 3, 4, 5, 6, 7})},
      {{0x10, 0xFF, 0x02, 0x1C, 0x01}, report({0x11, 0xFF, 0x02, 0x1C, 1, 'B', 'O', 'T', 0x12, 0x03, 0x00, 0x07, 0})},
      {{0x10, 0xFF, 0x02, 0x1C, 0x02}, report({0x10, 0xFF, 0xFF, 0x02, 0x1C, 0x02})},
      {GetCookie, CookieAnswer},
      // Unknown feature index, unknown function, Velo 1.0 traffic.
      {{0x10, 0xFF, 0x20, 0x0C}, report({0x10, 0xFF, 0xFF, 0x20, 0x0C, SimulatedVeloDevice::UnknownFeatureIndexError})},
      {{0x10, 0xFF, 0x00, 0x5C}, report({0x10, 0xFF, 0xFF, 0x00, 0x5C, SimulatedVeloDevice::UnknownFunctionError})},
      {{0x10, 0xFF, 0x81, 0x02, 0x00, 0x00, 0x00}, report({0x10, 0xFF, 0x8F, 0x81, 0x02, 0x01})},
  };
  std::vector<Bytes> requests;
  for (const auto& row : rows) requests.push_back(row.first);
  const auto reports = send(requests, rows.size());
  ASSERT_EQ(reports.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(reports[i], rows[i].second) << "row " << i;
}

TEST_F(SimulatedVeloDeviceTest, TheCookieIsKeptAndAResetMayClearIt) {
  for (const bool resetClears : {true, false}) {
    SCOPED_TRACE(resetClears);
    auto c = config(clock);
    c.resetClearsCookie = resetClears;
    const auto other = sim::SimulatedChannel::create();
    bus->plug(other);
    const auto resettable = SimulatedVeloDevice::create(other, c);
    testsupport::SimulatedHost otherHost(other);
    ASSERT_TRUE(otherHost.write({0x10, 0xFF, 0x03, 0x1F, 0x12, 0x34}));
    EXPECT_EQ(resettable->cookie(), 0x1234);
    ASSERT_TRUE(otherHost.write({0x10, 0xFF, 0x04, 0x0F}));
    EXPECT_EQ(resettable->cookie(), resetClears ? 0 : 0x1234);
    const auto reports = otherHost.waitFor(2);
    EXPECT_EQ(reports, (std::vector<Bytes>{report({0x10, 0xFF, 0x03, 0x1F}), report({0x10, 0xFF, 0x04, 0x0F})}));
  }
}

TEST_F(SimulatedVeloDeviceTest, AFirmwareChangeShowsInTheNextAnswer) {
  auto firmware = device->firmware();
  firmware.entities[0].version = 0x0300;
  firmware.entities[0].build = 0x0001;
  device->setFirmware(firmware);
  const auto reports = send({{0x10, 0xFF, 0x02, 0x1C, 0x00}}, 1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Bytes(reports[0].begin() + 8, reports[0].begin() + 12), (Bytes{0x03, 0x00, 0x00, 0x01}));
}

TEST_F(SimulatedVeloDeviceTest, ProgrammedFunctionsAnswerWithPayloadErrorOrSilence) {
  device->setFeatures({{0x0001}, {0x00D0}});
  Bytes seen;
  device->setFunction(0x00D0, 1, [&](const Bytes& params) -> SimulatedVeloDevice::Answer {
    seen = params;
    return Bytes(params.begin(), params.begin() + 5);
  });
  device->setFunction(0x00D0, 2, [](const Bytes&) { return SimulatedVeloDevice::Answer::error(5); });
  device->setFunction(0x00D0, 3, [](const Bytes&) { return SimulatedVeloDevice::Answer::silence(); });
  ASSERT_EQ(device->featureIndex(0x00D0), 2);

  const auto reports = send({{0x10, 0xFF, 0x02, 0x1E, 1, 2, 3, 4, 5, 6},
                             {0x10, 0xFF, 0x02, 0x2E},
                             {0x10, 0xFF, 0x02, 0x3E},
                             {0x10, 0xFF, 0x02, 0x4E},
                             GetCount},
                            4);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(seen, (Bytes{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(reports[0], report({0x11, 0xFF, 0x02, 0x1E, 1, 2, 3, 4, 5}));
  EXPECT_EQ(reports[1], report({0x10, 0xFF, 0xFF, 0x02, 0x2E, 0x05}));
  EXPECT_EQ(reports[2], report({0x10, 0xFF, 0xFF, 0x02, 0x4E, SimulatedVeloDevice::UnknownFunctionError}));
  EXPECT_EQ(reports[3], report({0x10, 0xFF, 0x01, 0x0F, 0x02}));
}

TEST_F(SimulatedVeloDeviceTest, EventsCarrySoftwareIdZeroAndNeedAKnownFeature) {
  EXPECT_TRUE(device->notify(0x1D4B, 2, {0x01}));
  EXPECT_TRUE(device->notify(0x1D4B, 0, {1, 2, 3, 4}));
  EXPECT_FALSE(device->notify(0x4321, 0, {0x01}));
  EXPECT_EQ(host.waitFor(2), (std::vector<Bytes>{report({0x10, 0xFF, 0x05, 0x20, 0x01}),
                                                 report({0x11, 0xFF, 0x05, 0x00, 1, 2, 3, 4})}));
}

TEST_F(SimulatedVeloDeviceTest, AVelo10OnlyDeviceAnswersEveryRequestWithAVelo10Error) {
  device->setVelo10Only(true);
  const auto reports = send({Ping, GetCount}, 2);
  EXPECT_EQ(reports, (std::vector<Bytes>{report({0x10, 0xFF, 0x8F, 0x00, 0x1F, 0x01}),
                                         report({0x10, 0xFF, 0x8F, 0x01, 0x0F, 0x01})}));
}

TEST_F(SimulatedVeloDeviceTest, TheRequestLogKeepsEveryReportAsWritten) {
  send({Ping, GetCount, Ping}, 3);
  const auto requests = device->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(device->requestCount(), 3u);
  Bytes padded = GetCount;
  padded.resize(20, 0);
  EXPECT_EQ(requests[1], padded);
  EXPECT_EQ(device->countRequests(0x00, 1), 2u);
  EXPECT_EQ(device->countRequests(0x01, 0), 1u);
  EXPECT_EQ(device->countRequests(0x00, 0), 0u);
}

struct FaultCase {
  const char* name;
  VeloFault fault;
  std::vector<Bytes> expected;
};

// Each fault hits the ping between two ordinary requests.
TEST_F(SimulatedVeloDeviceTest, AFaultChangesTheAnswerToTheRequestItHits) {
  const FaultCase cases[] = {
      {"no answer", VeloFault::noAnswer(), {CookieAnswer, CountAnswer}},
      {"Velo 1.0 error", VeloFault::velo10Error(5),
       {CookieAnswer, report({0x10, 0xFF, 0x8F, 0x00, 0x1F, 0x05}), CountAnswer}},
      {"Velo 2.0 error", VeloFault::velo20Error(8),
       {CookieAnswer, report({0x10, 0xFF, 0xFF, 0x00, 0x1F, 0x08}), CountAnswer}},
      {"foreign software id", VeloFault::foreignSoftwareId(3),
       {CookieAnswer, report({0x10, 0xFF, 0x00, 0x13, 0x04, 0x21, 0x5A}), CountAnswer}},
      {"unsolicited foreign response", VeloFault::unsolicitedForeign(15),
       {CookieAnswer, report({0x10, 0xFF, 0x00, 0x0F, 0x00, 0x00, 0x00}), PingAnswer, CountAnswer}},
      {"stale answer", VeloFault::stale(), {CookieAnswer, CookieAnswer, CountAnswer}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto other = sim::SimulatedChannel::create();
    bus->plug(other);
    const auto faulty = SimulatedVeloDevice::create(other, config(clock));
    testsupport::SimulatedHost otherHost(other);
    faulty->inject(VeloFault(c.fault).on(0x00, 1));
    for (const Bytes& request : {GetCookie, Ping, GetCount}) ASSERT_TRUE(otherHost.write(request));
    EXPECT_EQ(otherHost.waitFor(c.expected.size()), c.expected);
  }
}

TEST_F(SimulatedVeloDeviceTest, AnUnsolicitedForeignResponseNeverRepeatsTheRequestHeader) {
  device->inject(VeloFault::unsolicitedForeign(15));
  const auto reports = send({{0x10, 0xFF, 0x00, 0x0F, 0x43, 0x21}}, 2);
  EXPECT_EQ(reports, (std::vector<Bytes>{report({0x10, 0xFF, 0x00, 0x1F, 0x04, 0x21, 0xFF}),
                                         report({0x10, 0xFF, 0x00, 0x0F, 0x00, 0x00, 0x00})}));
}

TEST_F(SimulatedVeloDeviceTest, RulesHitTheNextMatchingRequestsInOrderAndRunOut) {
  device->inject(VeloFault::noAnswer().times(2).on(0x00, 1));
  device->inject(VeloFault::velo20Error(8));
  const auto reports = send({Ping, GetCount, Ping, Ping, GetCount}, 3);
  EXPECT_EQ(reports, (std::vector<Bytes>{report({0x10, 0xFF, 0xFF, 0x01, 0x0F, 0x08}), PingAnswer, CountAnswer}));
}

TEST_F(SimulatedVeloDeviceTest, OnlyErrorsAndDisconnectsKeepTheDeviceFromActing) {
  const std::pair<VeloFault, bool> cases[] = {
      {VeloFault::noAnswer(), true},       {VeloFault::stale(), true},
      {VeloFault::held(), true},           {VeloFault::velo20Error(8), false},
      {VeloFault::velo10Error(9), false},  {VeloFault::disconnect(), false},
  };
  for (const auto& [fault, acts] : cases) {
    SCOPED_TRACE(int(fault.kind));
    device->setCookie(0);
    device->inject(fault);
    EXPECT_TRUE(host.write({0x10, 0xFF, 0x03, 0x1F, 0x12, 0x34}));
    EXPECT_EQ(device->cookie(), acts ? 0x1234 : 0);
  }
}

TEST_F(SimulatedVeloDeviceTest, HeldAnswersComeWhenReleased) {
  device->inject(VeloFault::held());
  EXPECT_EQ(send({Ping, GetCount}, 1), std::vector<Bytes>{CountAnswer});
  EXPECT_EQ(device->releaseHeld(), 1u);
  EXPECT_EQ(host.waitFor(2), (std::vector<Bytes>{CountAnswer, PingAnswer}));
  EXPECT_EQ(device->releaseHeld(), 0u);
}

TEST_F(SimulatedVeloDeviceTest, LateAnswersComeWhenTheClockGetsThere) {
  device->inject(VeloFault::late(std::chrono::milliseconds(500)));
  send({Ping}, 0);
  clock->advanceMs(499);
  // Had the late answer come, it would be read before this one.
  EXPECT_EQ(send({GetCount}, 1), std::vector<Bytes>{CountAnswer});
  clock->advanceMs(1);
  EXPECT_EQ(host.waitFor(2), (std::vector<Bytes>{CountAnswer, PingAnswer}));
}

TEST_F(SimulatedVeloDeviceTest, ADisconnectPullsTheChannelWithoutAnswer) {
  device->inject(VeloFault::disconnect().on(0x00, 1));
  const auto reports = send({GetCount, Ping}, 2);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], CountAnswer);
  EXPECT_TRUE(reports[1].empty());  // the channel's end of reading
  EXPECT_FALSE(channel->connected());
  EXPECT_FALSE(host.write(GetCount));
  EXPECT_EQ(devio::LastError::get().code, devio::DeviceRemoved);
}

}  // namespace
