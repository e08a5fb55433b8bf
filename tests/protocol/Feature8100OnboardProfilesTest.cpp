#include "devio/features/Feature8100OnboardProfiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/Subscriber.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

constexpr Byte Index = 9;

Bytes request(unsigned function, const Bytes& params = {}) { return velo::buildRequest(Index, function, 15, params); }

class OnboardProfilesTest : public testing::Test {
 protected:
  void SetUp() override {
    feature = std::dynamic_pointer_cast<Feature8100OnboardProfiles>(createFeature(0x8100, Index, device));
    ASSERT_NE(feature, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) EXPECT_FALSE(sent.cacheable);
  }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature8100OnboardProfiles> feature;
};

// The request each operation sends; the answer carries nothing they need.
struct RequestCase {
  std::string name;
  std::function<bool(IFeature8100OnboardProfiles&)> call;
  unsigned function;
  Bytes params;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class OnboardProfilesRequestTest : public OnboardProfilesTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(OnboardProfilesRequestTest, SendsItsFunctionAndPayload) {
  const RequestCase& c = GetParam();
  device->expect({{request(c.function, c.params), answer(Index, c.function, 15, {})}});
  EXPECT_TRUE(c.call(*feature));
}

TEST_P(OnboardProfilesRequestTest, KeepsTheEnginesError) {
  const RequestCase& c = GetParam();
  device->expect({{request(c.function, c.params), {}, {Velo20Error2, 2}}});
  EXPECT_FALSE(c.call(*feature));
  EXPECT_EQ(LastError::get().code, Velo20Error2);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, OnboardProfilesRequestTest,
    testing::Values(
        RequestCase{"OnboardModeOn", [](auto& f) { return f.SetOnboardMode(true); }, 1, {0x01}},
        RequestCase{"OnboardModeOff", [](auto& f) { return f.SetOnboardMode(false); }, 1, {0x02}},
        RequestCase{"ActiveProfile", [](auto& f) { return f.SetActiveProfile(0x0102); }, 3, {0x01, 0x02}},
        RequestCase{"BeginWrite",
                    [](auto& f) { return f.BeginWrite(2, 0x0140, 1024); },
                    6,
                    {0x00, 0x02, 0x01, 0x40, 0x04, 0x00}},
        RequestCase{"EndWrite", [](auto& f) { return f.EndWrite(); }, 8, {}},
        RequestCase{
            "ExecuteMacro", [](auto& f) { return f.ExecuteMacro(0x0A0B, 0x0C0D); }, 9, {0x0A, 0x0B, 0x0C, 0x0D}},
        RequestCase{"GetCRC", [](auto& f) { return f.GetCRC(1, nullptr); }, 10, {0x00, 0x01}},
        RequestCase{"ActiveResolution", [](auto& f) { return f.SetActiveProfileResolution(2); }, 12, {0x02}}),
    [](const testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

TEST_F(OnboardProfilesTest, InfoFillsTheRecordInPayloadOrder) {
  device->expect({{request(0), answer(Index, 0, 15, {1, 2, 3, 4, 5, 6, 7, 0x04, 0x00, 0x0A})},
                  {request(0), answer(Index, 0, 15, {1, 2, 3, 4, 5, 6, 7, 0x04, 0x00, 0x05})}});
  IFeature8100OnboardProfiles::OnboardProfilesInfo info;
  ASSERT_TRUE(feature->GetOnboardProfilesInfo(&info));
  EXPECT_EQ(info.bytes, (std::array<std::uint32_t, 7>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(info.word, 0x0400u);
  EXPECT_TRUE(info.lowPairIsTwo);
  EXPECT_TRUE(info.highPairIsTwo);
  ASSERT_TRUE(feature->GetOnboardProfilesInfo(&info));
  EXPECT_FALSE(info.lowPairIsTwo);
  EXPECT_FALSE(info.highPairIsTwo);
}

TEST_F(OnboardProfilesTest, ShortAnswersFailWithCommandResponseTooShort) {
  const Bytes shortAnswer{0x01, 0x02, 0x03};
  device->expect({{request(0), answer(Index, 0, 15, shortAnswer)},
                  {request(5, {0x00, 0x02, 0x01, 0x40}), answer(Index, 5, 15, shortAnswer)}});
  IFeature8100OnboardProfiles::OnboardProfilesInfo info;
  info.word = 77;
  EXPECT_FALSE(feature->GetOnboardProfilesInfo(&info));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
  EXPECT_EQ(info.word, 77u);

  Bytes data{0xEE};
  EXPECT_FALSE(feature->ReadData(2, 0x0140, &data));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
  EXPECT_EQ(data, Bytes{0xEE});
}

TEST_F(OnboardProfilesTest, ReadDataReturnsTheWholePayload) {
  const Bytes sixteen{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  device->expect({{request(5, {0x00, 0x02, 0x01, 0x40}), answer(Index, 5, 15, sixteen)}});
  Bytes data;
  ASSERT_TRUE(feature->ReadData(2, 0x0140, &data));
  EXPECT_EQ(data, sixteen);
}

TEST_F(OnboardProfilesTest, WriteDataPadsTo16BytesAndReturnsTheStatus) {
  device->expect({{request(7, {1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), answer(Index, 7, 15, {0x01, 0x02})}});
  int status = 0;
  ASSERT_TRUE(feature->WriteData({1, 2, 3, 4, 5}, &status));
  EXPECT_EQ(status, 0x0102);
}

TEST_F(OnboardProfilesTest, WriteDataRefusesEmptyOrOversizedDataWithoutSending) {
  for (const Bytes& data : {Bytes{}, Bytes(17, 0xAB)}) {
    int status = -1;
    EXPECT_FALSE(feature->WriteData(data, &status)) << data.size();
    EXPECT_EQ(LastError::get().code, InvalidValue);
    EXPECT_EQ(status, -1);
  }
  EXPECT_TRUE(device->sent().empty());
}

TEST_F(OnboardProfilesTest, ReadsDecodeTheirBytes) {
  device->expect({{request(2), answer(Index, 2, 15, {0x01})},
                  {request(2), answer(Index, 2, 15, {0x02})},
                  {request(4), answer(Index, 4, 15, {0x00, 0x03})},
                  {request(11), answer(Index, 11, 15, {0x02})},
                  {request(10, {0x00, 0x01}), answer(Index, 10, 15, {0xC1, 0xC2})}});
  bool onboard = false;
  ASSERT_TRUE(feature->IsOnboardMode(&onboard));
  EXPECT_TRUE(onboard);
  ASSERT_TRUE(feature->IsOnboardMode(&onboard));
  EXPECT_FALSE(onboard);
  int profile = 0, resolution = 0;
  ASSERT_TRUE(feature->GetActiveProfile(&profile));
  EXPECT_EQ(profile, 3);
  ASSERT_TRUE(feature->GetActiveProfileResolution(&resolution));
  EXPECT_EQ(resolution, 2);
  Bytes crc;
  ASSERT_TRUE(feature->GetCRC(1, &crc));
  EXPECT_EQ(crc, (Bytes{0xC1, 0xC2, 0x00}));  // a short report's whole payload
}

class ProfileListener : public Subscriber<IFeature8100OnboardProfiles::Report> {
 public:
  void onProfileActivated(ProfileId profile) override { profiles.push_back(profile); }
  void onActiveProfileResolutionChanged(int index) override { resolutions.push_back(index); }
  std::vector<ProfileId> profiles;
  std::vector<int> resolutions;
};

TEST_F(OnboardProfilesTest, NotificationsBecomeEvents) {
  ProfileListener listener;
  ASSERT_TRUE(listener.subscribe(std::shared_ptr<IFeature>(feature), Direct));
  feature->deliverFeatureReport(0, {0x00, 0x03, 0x00});
  feature->deliverFeatureReport(1, {0x02, 0x00, 0x00});
  feature->deliverFeatureReport(2, {0x01, 0x01, 0x01});  // not an event of this feature
  feature->deliverFeatureReport(0, {0x05});              // too short for a profile
  feature->deliverFeatureReport(1, {});
  EXPECT_EQ(listener.profiles, std::vector<ProfileId>{ProfileId{3}});
  EXPECT_EQ(listener.resolutions, std::vector<int>{2});
}

}  // namespace
}  // namespace devio
