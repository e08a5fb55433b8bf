#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/CommandCacheFile.h"
#include "devio/protocol/LastError.h"
#include "tests/protocol/DiscoveryFixture.h"

namespace {

using devio::Byte;
using devio::Bytes;
using Config = sim::SimulatedVeloDevice::Config;
using Entity = sim::SimulatedVeloDevice::FirmwareEntity;

constexpr Byte RootIndex = 0;
constexpr unsigned GetFeature = 0;
constexpr unsigned GetFwInfo = 1;

class DeviceDiscoveryTest : public testsupport::DiscoveryFixture {};

TEST_F(DeviceDiscoveryTest, Velo10DeviceIsNotVelo20UntilRootIsRetried) {
  Config config;
  config.velo10Only = true;
  plug(config);
  auto device = makeDevice();

  EXPECT_EQ(featureById(device, 0x0003).error, devio::NotVelo20);
  EXPECT_EQ(velo->requestCount(), 1u);
  // Remembered: later lookups fail at once.
  EXPECT_EQ(featureById(device, 0x0001).error, devio::NotVelo20);
  EXPECT_EQ(velo->requestCount(), 1u);

  velo->setVelo10Only(false);
  EXPECT_TRUE(run([&] { return device->retry_load_feature_root(); }));
  EXPECT_TRUE(featureById(device, 0x0003).feature);
}

TEST_F(DeviceDiscoveryTest, AbsentFeatureCostsOneGetFeatureUntilAllFeaturesAreLoaded) {
  plug();
  auto device = makeDevice();
  ASSERT_TRUE(featureById(device, 0x0003).feature);

  std::size_t sent = velo->requestCount();
  EXPECT_EQ(featureById(device, 0x1D4B).error, devio::NotPresent);
  ASSERT_EQ(velo->requestCount(), sent + 1);
  const Bytes request = velo->requests().back();
  EXPECT_EQ(request[2], RootIndex);
  EXPECT_EQ(request[3] >> 4, GetFeature);
  EXPECT_EQ(request[4], 0x1D);
  EXPECT_EQ(request[5], 0x4B);

  ASSERT_TRUE(run([&] { return device->load_features(); }));
  sent = velo->requestCount();
  EXPECT_EQ(featureById(device, 0x1D4C).error, devio::NotPresent);
  EXPECT_EQ(velo->requestCount(), sent);
}

TEST_F(DeviceDiscoveryTest, FeaturesInIndexOrderWithTheirTableFlags) {
  Config config;
  config.features = {{0x0001}, {0x0003, 1}, {0x1D4B, 2, false, true, false}, {0x00C1, 0, true, false, true}, {0x0020}};
  plug(config);
  auto device = makeDevice();
  const auto early = featureById(device, 0x1D4B).feature;
  ASSERT_TRUE(early);

  const auto list = run([&] { return device->features(); });
  struct Row {
    unsigned id;
    int version;
    bool obsolete, hidden, engineering;
  };
  const std::vector<Row> expected{{0x0000, 0, false, false, false}, {0x0001, 0, false, false, false},
                                  {0x0003, 1, false, false, false}, {0x1D4B, 2, false, true, false},
                                  {0x00C1, 0, true, false, true},   {0x0020, 0, false, false, false}};
  ASSERT_EQ(list.size(), expected.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list[i]->index(), static_cast<int>(i));
    EXPECT_EQ(list[i]->id(), expected[i].id);
    EXPECT_EQ(list[i]->version(), expected[i].version);
    EXPECT_EQ(list[i]->obsolete(), expected[i].obsolete);
    EXPECT_EQ(list[i]->hidden(), expected[i].hidden);
    EXPECT_EQ(list[i]->engineering(), expected[i].engineering);
  }
  // The object handed out before the enumeration stays the one in the table.
  EXPECT_EQ(list[3], early);
}

struct IdentityCase {
  const char* name;
  Config config;
  std::string identity;
};

Config firmwareInfo(int featureVersion, std::uint32_t unitId, std::vector<Entity> entities) {
  Config config;
  config.features = {{0x0001}, {0x0003, static_cast<Byte>(featureVersion)}, {0x0020}};
  config.firmware.unitId = unitId;
  config.firmware.entities = std::move(entities);
  return config;
}

const Entity application{0, "U1 ", 0x0102, 0x0034, false};
const Entity activeBootloader{1, "BOT", 0x0203, 0x0045, true};

Config withoutFirmwareInfo() {
  Config config;
  config.features = {{0x0001}, {0x0020}};
  return config;
}

class FirmwareIdentityTest : public testsupport::DiscoveryFixture,
                             public ::testing::WithParamInterface<IdentityCase> {};

// The identity is what the cache file carries as its fw attribute.
TEST_P(FirmwareIdentityTest, IsWrittenWithTheCache) {
  plug(GetParam().config);
  auto device = makeDevice();
  ASSERT_TRUE(run([&] { return device->load_features(); }));
  device->perform_cache_write();
  const auto contents = devio::CommandCacheFile::read(cacheFile());
  ASSERT_TRUE(contents);
  EXPECT_EQ(contents->fw, GetParam().identity);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FirmwareIdentityTest,
    ::testing::Values(
        IdentityCase{"ActiveEntityWithUnitId", firmwareInfo(1, 0x00AB12CD, {application, activeBootloader}),
                     "1BOT02030045AB12CD"},
        IdentityCase{"FallbackWithoutActiveEntity", firmwareInfo(1, 0x00AB12CD, {application}), "0U1 01020034"},
        IdentityCase{"FallbackForFeatureVersion0", firmwareInfo(0, 0x00AB12CD, {application, activeBootloader}),
                     "0U1 01020034"},
        IdentityCase{"WithoutFirmwareInfo", withoutFirmwareInfo(), "NotPresent"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceDiscoveryTest, FirmwareRecheckAsksTheActiveEntityFirst) {
  plug(firmwareInfo(1, 0x1234, {application, activeBootloader}));
  auto device = makeDevice();
  ASSERT_TRUE(featureById(device, 0x0020).feature);
  const Byte index = velo->featureIndex(0x0003);

  const std::size_t sent = velo->requestCount();
  ASSERT_TRUE(run([&] { return device->do_fwcheck(); }));
  const auto requests = velo->requests();
  std::vector<Byte> entitiesAsked;
  for (std::size_t i = sent; i < requests.size(); ++i) {
    if (requests[i][2] == index && requests[i][3] >> 4 == GetFwInfo) entitiesAsked.push_back(requests[i][4]);
  }
  EXPECT_EQ(entitiesAsked, std::vector<Byte>{1});
}

TEST_F(DeviceDiscoveryTest, FirmwareChangeResetsDiscoveryAndTheCache) {
  plug();
  auto device = makeDevice();
  FirmwareWatcher watcher;
  ASSERT_TRUE(watcher.subscribe(device, devio::Direct));
  ASSERT_TRUE(featureById(device, 0x0020).feature);

  auto firmware = velo->firmware();
  firmware.entities[0].version = 0x0200;
  velo->setFirmware(firmware);
  const auto [matched, error] = run([&] {
    const bool ok = device->do_fwcheck();
    return std::pair(ok, devio::LastError::get().code);
  });
  EXPECT_FALSE(matched);
  EXPECT_EQ(error, devio::FwVersionChanged);
  EXPECT_EQ(watcher.changes, 1);

  // Nothing learnt before is used: the next lookup asks the device again.
  const std::size_t getFeatures = velo->countRequests(RootIndex, GetFeature);
  ASSERT_TRUE(featureById(device, 0x0020).feature);
  EXPECT_GT(velo->countRequests(RootIndex, GetFeature), getFeatures);
  device->perform_cache_write();
  const auto contents = devio::CommandCacheFile::read(cacheFile());
  ASSERT_TRUE(contents);
  EXPECT_EQ(contents->fw, "0U1 02000001");
}

}  // namespace
