#include "devio/protocol/Feature0000Root.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

class RootTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(device->remaining(), 0u); }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature0000Root> root = std::make_shared<Feature0000Root>(0, device);
};

struct GetFeatureCase {
  unsigned featureId;
  Bytes payload;
  int index;
  bool obsolete, hidden, engineering;
  int version;
};

void PrintTo(const GetFeatureCase& c, std::ostream* os) { *os << std::hex << c.featureId; }

class RootGetFeature : public RootTest, public testing::WithParamInterface<GetFeatureCase> {};

TEST_P(RootGetFeature, DecodesIndexFlagsAndVersion) {
  const GetFeatureCase& c = GetParam();
  const Bytes request{0x10, 0xFF, 0x00, 0x0F, static_cast<Byte>(c.featureId >> 8), static_cast<Byte>(c.featureId)};
  device->expect({{request, answer(0, 0, 15, c.payload)}});
  int index = -1, version = -1;
  bool obsolete = !c.obsolete, hidden = !c.hidden, engineering = !c.engineering;
  ASSERT_TRUE(root->GetFeature(c.featureId, &index, &obsolete, &hidden, &engineering, &version, true));
  EXPECT_EQ(index, c.index);
  EXPECT_EQ(obsolete, c.obsolete);
  EXPECT_EQ(hidden, c.hidden);
  EXPECT_EQ(engineering, c.engineering);
  EXPECT_EQ(version, c.version);
  EXPECT_TRUE(device->sent()[0].cacheable);
}

INSTANTIATE_TEST_SUITE_P(Cases, RootGetFeature,
                         testing::Values(GetFeatureCase{0x0003, {0x02, 0x00, 0x01}, 2, false, false, false, 1},
                                         GetFeatureCase{0x00D0, {0x0C, 0x80, 0x00}, 12, true, false, false, 0},
                                         GetFeatureCase{0x1E00, {0x1F, 0x60, 0x03}, 31, false, true, true, 3},
                                         // Index 0: not offered; the caller decides.
                                         GetFeatureCase{0x1D4B, {0x00, 0x00, 0x00}, 0, false, false, false, 0},
                                         // A long answer is cut to its first three bytes.
                                         GetFeatureCase{
                                             0x8100, {0x05, 0x00, 0x02, 0xFF, 0xFF, 0xFF}, 5, false, false, false, 2}));

TEST_F(RootTest, GetFeatureStoresNothingThroughNullOutputs) {
  device->expect({{{0x10, 0xFF, 0x00, 0x0F, 0x00, 0x01}, answer(0, 0, 15, {1, 0, 0})}});
  EXPECT_TRUE(root->GetFeature(0x0001, nullptr, nullptr, nullptr, nullptr, nullptr, false));
  EXPECT_FALSE(device->sent()[0].cacheable);
}

TEST_F(RootTest, GetProtocolVersionIsCacheableOnlyForPingZero) {
  device->expect({{{0x10, 0xFF, 0x00, 0x1F, 0, 0, 0}, answer(0, 1, 15, {4, 3, 0})},
                  {{0x10, 0xFF, 0x00, 0x1F, 0, 0, 5}, answer(0, 1, 15, {4, 3, 5})}});
  int protocol = 0, targetsw = 0, ping = -1;
  ASSERT_TRUE(root->GetProtocolVersion(0, &protocol, &targetsw, &ping));
  EXPECT_EQ(protocol, 4);
  EXPECT_EQ(targetsw, 3);
  EXPECT_EQ(ping, 0);
  ASSERT_TRUE(root->GetProtocolVersion(5, nullptr, nullptr, &ping));
  EXPECT_EQ(ping, 5);
  EXPECT_TRUE(device->sent()[0].cacheable);
  EXPECT_FALSE(device->sent()[1].cacheable);
}

TEST_F(RootTest, TargetSwAsksTheDeviceOnce) {
  const Bytes request{0x10, 0xFF, 0x00, 0x1F, 0, 0, 0};
  // A failure is not remembered; the first success is.
  device->expect({{request, {}, {Velo10Error1, 1}}, {request, answer(0, 1, 15, {4, 2, 0})}});
  EXPECT_FALSE(root->TargetSw(nullptr, nullptr));
  EXPECT_EQ(LastError::get().code, Velo10Error1);
  int protocol = 0, targetsw = 0;
  ASSERT_TRUE(root->TargetSw(&protocol, &targetsw));
  EXPECT_EQ(protocol, 4);
  EXPECT_EQ(targetsw, 2);

  protocol = targetsw = 0;
  ASSERT_TRUE(root->TargetSw(&protocol, &targetsw));
  EXPECT_EQ(protocol, 4);
  EXPECT_EQ(targetsw, 2);
  EXPECT_EQ(device->sent().size(), 2u);
  EXPECT_TRUE(device->sent()[1].cacheable);
}

TEST_F(RootTest, PingWaitsForItsOwnByte) {
  const Bytes request{0x10, 0xFF, 0x00, 0x1F, 0, 0, 0x9C};
  device->expect({{request, answer(0, 1, 15, {4, 2, 0x9C})}});
  // Other payload bytes do not matter.
  EXPECT_TRUE(root->Ping(0x9C));
  EXPECT_FALSE(device->sent()[0].cacheable);
  EXPECT_EQ(device->sent()[0].match, std::vector<int>{2});
}

TEST_F(RootTest, PingFailures) {
  const Bytes request{0x10, 0xFF, 0x00, 0x1F, 0, 0, 0x9C};
  // An answer with another ping byte never completes the exchange: the engine gives up.
  device->expect({{request, {}, {NoResponse}}});
  EXPECT_FALSE(root->Ping(0x9C));
  EXPECT_EQ(LastError::get().code, NoResponse);

  // Should a completed exchange still carry another byte, the ping fails on its own.
  device->expect({{request, answer(0, 1, 15, {4, 2, 0x9D})}});
  EXPECT_FALSE(root->Ping(0x9C));
  EXPECT_EQ(LastError::get().code, PingMismatch);
}

}  // namespace
}  // namespace devio
