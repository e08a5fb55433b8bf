#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "devio/protocol/CommandCacheFile.h"
#include "devio/protocol/LastError.h"
#include "tests/protocol/DiscoveryFixture.h"
#include "tests/support/RunLoopPump.h"

namespace {

using devio::Byte;
using devio::Bytes;
using devio::CommandCacheFile;
using Config = sim::SimulatedVeloDevice::Config;

constexpr Byte RootIndex = 0;
constexpr unsigned GetFeature = 0;

std::string readText(const std::string& file) {
  std::ifstream in(std::filesystem::u8path(file), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const std::string& file, const std::string& text) {
  std::ofstream(std::filesystem::u8path(file), std::ios::binary) << text;
}

class DeviceCacheTest : public testsupport::DiscoveryFixture {
 protected:
  // A first run: everything discovered, the cache written as the device object goes.
  void discoverAndRelease() {
    auto device = makeDevice();
    ASSERT_TRUE(run([&] { return !device->features().empty(); }));
    device.reset();
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::u8path(cacheFile())));
  }

  void changeFirmwareVersion(std::uint16_t version) {
    auto firmware = velo->firmware();
    firmware.entities[0].version = version;
    velo->setFirmware(firmware);
  }
};

TEST_F(DeviceCacheTest, FileNameAndContent) {
  plug({}, 0x7331, "abc");
  auto device = makeDevice();
  ASSERT_TRUE(featureById(device, 0x0003).feature);
  device->perform_cache_write();

  const std::string file = directory.withSeparator() + "7331_1A47E90B.xml";
  // Requests and answers as whole reports, software id nibble 0xA, sorted by request.
  EXPECT_EQ(readText(file),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<cache fw=\"0U1 01000001\" path=\"abc\">\n"
            "\t<command cmd=\"10FF000A0003\" rsp=\"10FF000A020000\"/>\n"
            "\t<command cmd=\"10FF001A000000\" rsp=\"10FF001A040000\"/>\n"
            "\t<command cmd=\"10FF021A00\" rsp=\"11FF021A00553120010000010100000000000000\"/>\n"
            "</cache>\n\n");
}

// What the cache is for: after a restart, discovery of the same device and firmware costs only
// the firmware re-check and the ping.
TEST_F(DeviceCacheTest, SecondRunSendsOnlyThePingAndTheFirmwareRecheck) {
  Config config;
  config.features = {{0x0001}, {0x0003, 1}, {0x0020}, {0x1802}};
  plug(config);
  discoverAndRelease();

  auto device = makeDevice();
  const std::size_t sent = velo->requestCount();
  ASSERT_EQ(run([&] { return device->features().size(); }), 5u);
  ASSERT_TRUE(featureById(device, 0x1802).feature);

  const auto requests = velo->requests();
  ASSERT_EQ(requests.size(), sent + 3);
  const Bytes& ping = requests[sent];
  EXPECT_EQ(ping[2], RootIndex);
  EXPECT_EQ(ping[3] >> 4, 1u);
  EXPECT_NE(ping[6], 0);  // a ping byte, not the protocol request
  const Byte firmwareInfo = velo->featureIndex(0x0003);
  EXPECT_EQ(requests[sent + 1][2], firmwareInfo);  // GetEntityCount
  EXPECT_EQ(requests[sent + 1][3] >> 4, 0u);
  EXPECT_EQ(requests[sent + 2][2], firmwareInfo);  // GetFwInfo of the active entity
  EXPECT_EQ(requests[sent + 2][3] >> 4, 1u);
}

TEST_F(DeviceCacheTest, DeviceWithoutFirmwareInfoWritesAndUsesItsCache) {
  Config config;
  config.features = {{0x0001}, {0x0020}};
  plug(config);
  discoverAndRelease();
  EXPECT_EQ(CommandCacheFile::read(cacheFile())->fw, "NotPresent");

  auto device = makeDevice();
  const std::size_t sent = velo->requestCount();
  ASSERT_EQ(run([&] { return device->features().size(); }), 3u);
  EXPECT_EQ(velo->requestCount(), sent);
}

TEST_F(DeviceCacheTest, CacheIsWrittenTenSecondsAfterTheFirstNewEntry) {
  testsupport::RunLoopPump pump;
  ASSERT_TRUE(pump.subscribed());
  plug();
  auto device = makeDevice();
  ASSERT_TRUE(featureById(device, 0x0020).feature);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(cacheFile())));

  clock->advanceMs(10000);
  ASSERT_TRUE(pump.waitForSignal());
  pump.drain();
  const auto contents = CommandCacheFile::read(cacheFile());
  ASSERT_TRUE(contents);
  EXPECT_EQ(contents->fw, "0U1 01000001");
}

TEST_F(DeviceCacheTest, FirmwareChangedSinceTheCacheWasWritten) {
  plug();
  discoverAndRelease();
  changeFirmwareVersion(0x0200);

  auto device = makeDevice();
  FirmwareWatcher watcher;
  ASSERT_TRUE(watcher.subscribe(device, devio::Direct));
  EXPECT_EQ(featureById(device, 0x0020).error, devio::FwVersionChanged);
  EXPECT_EQ(watcher.changes, 1);

  // The old answers are gone: discovery asks the device again and the cache takes the new identity.
  const std::size_t getFeatures = velo->countRequests(RootIndex, GetFeature);
  ASSERT_TRUE(featureById(device, 0x0020).feature);
  EXPECT_GT(velo->countRequests(RootIndex, GetFeature), getFeatures);
  device->perform_cache_write();
  EXPECT_EQ(CommandCacheFile::read(cacheFile())->fw, "0U1 02000001");
}

// A file whose answers may belong to another firmware, read once the device's identity is known.
struct ForeignCacheCase {
  const char* name;
  const char* fw;  // null: the cache element has no fw attribute
};

class ForeignCache : public DeviceCacheTest, public testing::WithParamInterface<ForeignCacheCase> {};

TEST_P(ForeignCache, IsNotLoadedAndIsRewritten) {
  plug();
  auto device = makeDevice(false);
  ASSERT_TRUE(featureById(device, 0x0020).feature);
  // A file claiming that 0x1D4B sits at index 7.
  const Bytes getFeature1D4B{0x10, 0xFF, 0x00, 0x0A, 0x1D, 0x4B};
  const Bytes atIndex7{0x10, 0xFF, 0x00, 0x0A, 0x07, 0x00, 0x00};
  std::string text = CommandCacheFile::render(GetParam().fw ? GetParam().fw : "", channel->path(),
                                              {{getFeature1D4B, atIndex7}});
  if (!GetParam().fw) text.erase(text.find(" fw=\"\""), 6);
  writeText(cacheFile(), text);
  device->persistent_data_directory(directory.withSeparator());

  const std::size_t getFeatures = velo->countRequests(RootIndex, GetFeature);
  EXPECT_EQ(featureById(device, 0x1D4B).error, devio::NotPresent);
  EXPECT_EQ(velo->countRequests(RootIndex, GetFeature), getFeatures + 1);
  device->perform_cache_write();
  const auto contents = CommandCacheFile::read(cacheFile());
  ASSERT_TRUE(contents);
  EXPECT_EQ(contents->fw, "0U1 01000001");
  for (const auto& [cmd, rsp] : contents->entries) EXPECT_NE(rsp, atIndex7);
}

INSTANTIATE_TEST_SUITE_P(Cases, ForeignCache,
                         testing::Values(ForeignCacheCase{"AnotherFirmware", "0U1 09990001"},
                                         ForeignCacheCase{"NoFirmwareAttribute", nullptr}),
                         [](const testing::TestParamInfo<ForeignCacheCase>& info) { return info.param.name; });

// Files the device cannot use never stop it; the next write replaces them.
TEST_F(DeviceCacheTest, DamagedFilesAreIgnoredAndReplaced) {
  plug();
  const std::string good = CommandCacheFile::render("0U1 01000001", channel->path(), {});
  for (const std::string& damaged : {std::string("not xml at all"), good.substr(0, good.size() / 2),
                                     std::string("<cache><command/><command cmd=\"10FF001A000000\"/></cache>")}) {
    SCOPED_TRACE(damaged);
    writeText(cacheFile(), damaged);
    auto device = makeDevice();
    ASSERT_TRUE(featureById(device, 0x0020).feature);
    device.reset();
    const auto contents = CommandCacheFile::read(cacheFile());
    ASSERT_TRUE(contents);
    EXPECT_TRUE(contents->hasCache);
    EXPECT_EQ(contents->fw, "0U1 01000001");
    EXPECT_FALSE(contents->entries.empty());
  }
}

// An entry without a usable answer is never handed out: the device is asked, and the file is
// rewritten without it even when nothing new was learnt.
TEST_F(DeviceCacheTest, EntriesWithoutUsableAnswerAreDropped) {
  plug();
  discoverAndRelease();
  const Bytes getFeature1D4B{0x10, 0xFF, 0x00, 0x0A, 0x1D, 0x4B};
  std::string text = readText(cacheFile());
  text.insert(text.find("</cache>"), "\t<command cmd=\"10FF000A1D4B\" rsp=\"10FF\"/>\n\t<command/>\n");
  writeText(cacheFile(), text);

  auto device = makeDevice();
  ASSERT_TRUE(run([&] { return !device->features().empty(); }));
  device.reset();
  auto contents = CommandCacheFile::read(cacheFile());
  ASSERT_TRUE(contents);
  for (const auto& [cmd, rsp] : contents->entries) {
    EXPECT_NE(cmd, getFeature1D4B);
    EXPECT_GE(rsp.size(), 7u);
  }

  writeText(cacheFile(), text);
  device = makeDevice();
  const std::size_t getFeatures = velo->countRequests(RootIndex, GetFeature);
  EXPECT_EQ(featureById(device, 0x1D4B).error, devio::NotPresent);
  EXPECT_EQ(velo->countRequests(RootIndex, GetFeature), getFeatures + 1);
}

}  // namespace
