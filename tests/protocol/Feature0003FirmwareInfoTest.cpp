#include "devio/protocol/Feature0003FirmwareInfo.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::Exchange;
using testsupport::ScriptedDevice;

constexpr Byte Index = 3;
const Bytes EntityCountRequest{0x10, 0xFF, Index, 0x0F};

Bytes fwInfoRequest(int entity) { return {0x10, 0xFF, Index, 0x1F, static_cast<Byte>(entity)}; }

Exchange entityCount(int count, unsigned transport = 0, unsigned pid1 = 0) {
  return {EntityCountRequest,
          answer(Index, 0, 15,
                 {static_cast<Byte>(count), 0x12, 0x34, 0x56, 0x78, static_cast<Byte>(transport >> 8),
                  static_cast<Byte>(transport), static_cast<Byte>(pid1 >> 8), static_cast<Byte>(pid1), 0xB0, 0x02, 0xB0,
                  0x03, 0x07})};
}

Exchange fwInfo(int entity, Byte type, const std::string& prefix, unsigned version, unsigned build, Byte rdnf = 1) {
  return {fwInfoRequest(entity),
          answer(Index, 1, 15,
                 {type, static_cast<Byte>(prefix[0]), static_cast<Byte>(prefix[1]), static_cast<Byte>(prefix[2]),
                  static_cast<Byte>(version >> 8), static_cast<Byte>(version), static_cast<Byte>(build >> 8),
                  static_cast<Byte>(build), rdnf, 1, 2, 3, 4, 5, 6, 7})};
}

class FirmwareInfoTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) expectCacheable(sent);
  }
  virtual void expectCacheable(const ScriptedDevice::Sent& sent) { EXPECT_TRUE(sent.cacheable); }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature0003FirmwareInfo> info = std::make_shared<Feature0003FirmwareInfo>(Index, device);
};

TEST_F(FirmwareInfoTest, GetEntityCountDecodesEveryField) {
  device->expect({entityCount(2, 0x0004, 0xB012)});
  int count = 0, unitId = 0, transport = 0, pid1 = 0, pid2 = 0, pid3 = 0, extended = 0;
  ASSERT_TRUE(info->GetEntityCount(&count, &unitId, &transport, &pid1, &pid2, &pid3, &extended, true));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(unitId, 0x12345678);
  EXPECT_EQ(transport, 0x0004);
  EXPECT_EQ(pid1, 0xB012);
  EXPECT_EQ(pid2, 0xB002);
  EXPECT_EQ(pid3, 0xB003);
  EXPECT_EQ(extended, 7);
}

TEST_F(FirmwareInfoTest, GetFwInfoRawAndText) {
  device->expect({fwInfo(1, 0xF1, std::string("B\x01T", 3), 0x0A10, 0x0042, 3),
                  fwInfo(1, 0xF1, std::string("B\x01T", 3), 0x0A10, 0x0042, 3)});
  int type = -1, rdnf = -1;
  std::string prefix = "old";
  unsigned short version = 0, build = 0;
  std::vector<Byte> extra{9};
  ASSERT_TRUE(info->GetFwInfo(1, &type, &prefix, &version, &build, &rdnf, &extra, true));
  EXPECT_EQ(type, 1);  // the high nibble is not the type
  EXPECT_EQ(prefix, "B T");
  EXPECT_EQ(version, 0x0A10);  // raw: no BCD normalisation
  EXPECT_EQ(build, 0x0042);
  EXPECT_EQ(rdnf, 3);
  EXPECT_EQ(extra, (std::vector<Byte>{1, 2, 3, 4, 5, 6, 7}));

  std::string versionText, buildText;
  ASSERT_TRUE(info->GetFwInfo(1, nullptr, nullptr, &versionText, &buildText, nullptr, nullptr, true));
  EXPECT_EQ(versionText, "0A10");
  EXPECT_EQ(buildText, "0042");
}

struct VersionCase {
  std::string prefix;
  unsigned version, build;
  std::string text;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.text; }

class FirmwareVersionText : public FirmwareInfoTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(FirmwareVersionText, FromTheFirstMainEntity) {
  const VersionCase& c = GetParam();
  device->expect({entityCount(1), fwInfo(0, 0x00, c.prefix, c.version, c.build)});
  std::string text;
  ASSERT_TRUE(info->GetFirmwareVersion(&text));
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareVersionText,
                         testing::Values(VersionCase{"U1 ", 0x0207, 0x0025, "102.7.25"},
                                         VersionCase{"BOT", 0x1203, 0x0007, "12.3.7"},
                                         VersionCase{"U  ", 0x0012, 0x0100, "0.12.100"},
                                         VersionCase{"U9 ", 0x0000, 0x0005, "900.0.5"},
                                         VersionCase{"UA ", 0x0207, 0x0025, "2.7.25"},   // A is no digit
                                         VersionCase{"U12", 0x0207, 0x0025, "2.7.25"},   // no space
                                         VersionCase{"BOT", 0x0A10, 0x0001, "25.76.1"},  // 0x0A10 → 2576
                                         VersionCase{"BOT", 0x0101, 0xFFFF, "1.1.9999"},
                                         VersionCase{std::string("U3\x7F", 3), 0x0401, 0x0002, "304.1.2"}));

TEST_F(FirmwareInfoTest, SkipsEntitiesOfOtherTypes) {
  device->expect({entityCount(3), fwInfo(0, 0x01, "BOT", 0x0101, 0x0001), fwInfo(1, 0x02, "HW ", 0x0202, 0x0002),
                  fwInfo(2, 0x00, "MPK", 0x0303, 0x0003)});
  std::string text;
  ASSERT_TRUE(info->GetFirmwareVersion(&text));
  EXPECT_EQ(text, "3.3.3");
}

TEST_F(FirmwareInfoTest, NoMainEntityIsNoVersion) {
  device->expect({entityCount(1), fwInfo(0, 0x01, "BOT", 0x0101, 0x0001)});
  std::string text = "unchanged";
  EXPECT_FALSE(info->GetFirmwareVersion(&text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_FALSE(info->GetFirmwareVersion(nullptr));  // sends nothing
}

TEST_F(FirmwareInfoTest, AFailedEntityEndsTheSearch) {
  device->expect({entityCount(2), {fwInfoRequest(0), {}, {NotConnected}}});
  std::string text;
  EXPECT_FALSE(info->GetFirmwareVersion(&text));
  EXPECT_EQ(LastError::get().code, NotConnected);
}

TEST_F(FirmwareInfoTest, FindFwInfoLeavesTheLastEntityRead) {
  device->expect({entityCount(2), fwInfo(0, 0x00, "MPK", 0x0101, 0x0001), fwInfo(1, 0x01, "BOT", 0x0202, 0x0002)});
  std::string prefix;
  unsigned short version = 0, build = 0;
  ASSERT_TRUE(info->FindFwInfo(1, &prefix, &version, &build, nullptr, nullptr));
  EXPECT_EQ(prefix, "BOT");
  EXPECT_EQ(version, 0x0202);

  device->expect({entityCount(2), fwInfo(0, 0x00, "MPK", 0x0101, 0x0001), fwInfo(1, 0x01, "BOT", 0x0202, 0x0002)});
  prefix.clear();
  EXPECT_FALSE(info->FindFwInfo(2, &prefix, &version, &build, nullptr, nullptr));
  EXPECT_EQ(prefix, "BOT");
}

struct ShortCase {
  std::string name;
  std::function<bool(IFeature0003FirmwareInfo&)> call;
  Exchange row;
};

void PrintTo(const ShortCase& c, std::ostream* os) { *os << c.name; }

class FirmwareInfoShortAnswer : public FirmwareInfoTest, public testing::WithParamInterface<ShortCase> {};

TEST_P(FirmwareInfoShortAnswer, FailsTooShort) {
  device->expect({GetParam().row});
  EXPECT_FALSE(GetParam().call(*info));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareInfoShortAnswer,
                         testing::Values(ShortCase{"EntityCount",
                                                   [](IFeature0003FirmwareInfo& f) {
                                                     return f.GetEntityCount(nullptr, nullptr, nullptr, nullptr,
                                                                             nullptr, nullptr, nullptr, true);
                                                   },
                                                   {EntityCountRequest, answer(Index, 0, 15, {1, 2, 3})}},
                                         ShortCase{"FwInfo",
                                                   [](IFeature0003FirmwareInfo& f) {
                                                     std::string version;
                                                     return f.GetFwInfo(0, nullptr, nullptr, &version, nullptr, nullptr,
                                                                        nullptr, true);
                                                   },
                                                   {fwInfoRequest(0), answer(Index, 1, 15, {0, 'B', 'O'})}},
                                         ShortCase{"ModelId",
                                                   [](IFeature0003FirmwareInfo& f) { return f.GetModelId(nullptr); },
                                                   {EntityCountRequest, answer(Index, 0, 15, {1, 2, 3})}}),
                         [](const testing::TestParamInfo<ShortCase>& info) { return info.param.name; });

TEST_F(FirmwareInfoTest, ModelIdFromTransportOrProductId) {
  device->pidValue = 0x6E29;
  device->expect({entityCount(1, 0x0004, 0x1234), entityCount(1, 0x0000, 0x1234), entityCount(1, 0x8001, 0x0002),
                  entityCount(1, 0x0004, 0x1234)});
  int model = 0;
  ASSERT_TRUE(info->GetModelId(&model));
  EXPECT_EQ(model, 0x00041234);
  ASSERT_TRUE(info->GetModelId(&model));
  EXPECT_EQ(model, 0x6E29);
  ASSERT_TRUE(info->GetModelId(&model));
  EXPECT_EQ(static_cast<unsigned>(model), 0x80010002u);
  EXPECT_TRUE(info->GetModelId(nullptr));
}

class FirmwareInfoUncached : public FirmwareInfoTest {
 protected:
  void expectCacheable(const ScriptedDevice::Sent& sent) override { EXPECT_FALSE(sent.cacheable); }
};

TEST_F(FirmwareInfoUncached, CallerChoosesCaching) {
  device->expect({entityCount(1), fwInfo(0, 0x00, "MPK", 0x0101, 0x0001)});
  int extended = 0;
  ASSERT_TRUE(info->GetExtendedModelId(&extended, false));
  EXPECT_EQ(extended, 7);
  std::string version;
  ASSERT_TRUE(info->GetFwInfo(0, nullptr, nullptr, &version, nullptr, nullptr, nullptr, false));
  EXPECT_EQ(version, "0101");
}

}  // namespace
}  // namespace devio
