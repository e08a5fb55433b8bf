#include "devio/features/Feature00d0DFU.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/Subscriber.h"
#include "tests/support/RunLoopPump.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

constexpr Byte Index = 4;
const Bytes Block{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};
// A long answer: packet number 00 07 in bytes 2-3, status 1 in byte 4.
const Bytes Acknowledgement{0x00, 0x00, 0x00, 0x07, 0x01};

Bytes request(unsigned function, const Bytes& params) { return velo::buildRequest(Index, function, 15, params); }

class StatusListener : public Subscriber<IFeature00d0DFU::Report> {
 public:
  void onDfuStatus(unsigned packet, Bytes payload) override { events.emplace_back(packet, std::move(payload)); }
  std::vector<std::pair<unsigned, Bytes>> events;
};

// The feature as the registry makes it for a device.
class DfuTest : public testing::Test {
 protected:
  void SetUp() override {
    feature = std::dynamic_pointer_cast<Feature00d0DFU>(createFeature(0x00D0, Index, device));
    ASSERT_NE(feature, nullptr);
    ASSERT_TRUE(listener.subscribe(std::shared_ptr<IFeature00d0DFU>(feature), Direct));
  }
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) EXPECT_FALSE(sent.cacheable);
  }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature00d0DFU> feature;
  StatusListener listener;
};

TEST_F(DfuTest, StartSendsTheBlockUnchangedAndReadsTheStatusWithoutAnEvent) {
  const Bytes reply = answer(Index, 4, 15, {0, 0, 0, 0, 0x02, 0xAA});
  device->expect({{request(4, Block), reply}});
  int status = -1;
  Bytes response;
  ASSERT_TRUE(feature->DFUStart(Block, &status, &response));
  EXPECT_EQ(status, 2);
  EXPECT_EQ(response, Bytes(reply.begin() + 4, reply.end()));
  EXPECT_TRUE(listener.events.empty());
}

TEST_F(DfuTest, StartFailuresLeaveTheOutputsUntouched) {
  device->expect({{request(4, Block), {}, {NoResponse}},
                  // A short report carries no status byte.
                  {request(4, Block), answer(Index, 4, 15, {0, 0, 0})}});
  int status = -1;
  Bytes response{0x55};
  EXPECT_FALSE(feature->DFUStart(Block, &status, &response));
  EXPECT_EQ(LastError::get().code, NoResponse);
  EXPECT_FALSE(feature->DFUStart(Block, &status, &response));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(response, Bytes{0x55});
}

struct PacketCase {
  unsigned n;
  unsigned function;
  unsigned reported;
};

class DfuPacketTest : public DfuTest, public testing::WithParamInterface<PacketCase> {};

TEST_P(DfuPacketTest, SendsPacketNPlusOneWithItsFunctionAndReportsTheAcknowledgement) {
  const auto [n, function, reported] = GetParam();
  const Bytes payload = answer(Index, function, 15, Acknowledgement);
  device->expect({{request(function, Block), payload}});
  ASSERT_TRUE(feature->DFUSendPacket(n, Block));
  ASSERT_EQ(listener.events.size(), 1u);
  EXPECT_EQ(listener.events[0].first, reported);
  EXPECT_EQ(listener.events[0].second, Bytes(payload.begin() + 4, payload.end()));
}

INSTANTIATE_TEST_SUITE_P(PacketNumbers, DfuPacketTest,
                         testing::Values(PacketCase{0, 1, 1}, PacketCase{1, 2, 2}, PacketCase{2, 3, 3},
                                         PacketCase{3, 0, 4}, PacketCase{0xFFFFFFFF, 0, 0}));

TEST_F(DfuTest, AFailedPacketFiresNothing) {
  device->expect({{request(1, Block), {}, {Velo20Error5, 5}}});
  EXPECT_FALSE(feature->DFUSendPacket(0, Block));
  EXPECT_EQ(LastError::get().code, Velo20Error5);
  EXPECT_TRUE(listener.events.empty());
}

TEST_F(DfuTest, RestartSendsFunction5WithItsByte) {
  device->expect({{request(5, {0x00}), answer(Index, 5, 15, {})}});
  EXPECT_TRUE(feature->DFURestart(0));
}

TEST_F(DfuTest, NotificationsReportThePacketNumberOfBytes2And3) {
  const Bytes payload{0x00, 0x00, 0x01, 0x2C, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  feature->deliverFeatureReport(7, payload);  // any function
  ASSERT_EQ(listener.events.size(), 1u);
  EXPECT_EQ(listener.events[0].first, 300u);
  EXPECT_EQ(listener.events[0].second, payload);
}

TEST_F(DfuTest, NotificationsWithoutAPacketNumberAreDropped) {
  for (const Bytes& payload : {Bytes{}, Bytes{0x00, 0x00}, Bytes{0x00, 0x00, 0x01}}) {
    LastError::set(Success);
    feature->deliverFeatureReport(0, payload);
    EXPECT_EQ(LastError::get().code, CommandResponseTooShort) << payload.size();
  }
  EXPECT_TRUE(listener.events.empty());
}

// The update workflow subscribes through the run loop: an acknowledgement fired inside
// DFUSendPacket is only queued, and the queued call carries its own copy of the payload.
class DfuRunLoopTest : public testing::Test {
 protected:
  void TearDown() override { theDevio().reset(); }
  testsupport::RunLoopPump pump;
};

TEST_F(DfuRunLoopTest, AcknowledgementsReachRunLoopSubscribersAfterTheSendReturned) {
  ASSERT_TRUE(pump.subscribed());
  auto device = std::make_shared<ScriptedDevice>();
  auto feature = std::make_shared<Feature00d0DFU>(Index, device);
  StatusListener listener;
  ASSERT_TRUE(listener.subscribe(std::shared_ptr<IFeature00d0DFU>(feature), RunLoop));

  device->expect({{request(2, Block), answer(Index, 2, 15, Acknowledgement)}});
  ASSERT_TRUE(feature->DFUSendPacket(1, Block));
  EXPECT_TRUE(listener.events.empty());
  EXPECT_EQ(pump.drain(), 1);
  ASSERT_EQ(listener.events.size(), 1u);
  EXPECT_EQ(listener.events[0].first, 2u);
  EXPECT_EQ(listener.events[0].second[4], 0x01);
}

}  // namespace
}  // namespace devio
