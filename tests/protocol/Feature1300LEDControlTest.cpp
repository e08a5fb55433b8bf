#include "devio/features/Feature1300LEDControl.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/VeloMessage.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

constexpr Byte Index = 5;

Bytes request(unsigned function, const Bytes& params = {}) { return velo::buildRequest(Index, function, 15, params); }

class LEDControlTest : public testing::Test {
 protected:
  void SetUp() override {
    feature = std::dynamic_pointer_cast<Feature1300LEDControl>(createFeature(0x1300, Index, device));
    ASSERT_NE(feature, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) EXPECT_FALSE(sent.cacheable);
  }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature1300LEDControl> feature;
};

TEST_F(LEDControlTest, GetLEDInfoFillsTheRecord) {
  device->expect({{request(1, {0x02}), answer(Index, 1, 15, {0x02, 0x04, 0x01, 0x00, 0x03, 0x02})}});
  IFeature1300LEDControl::LEDInfo info;
  ASSERT_TRUE(feature->GetLEDInfo(2, &info));
  EXPECT_EQ(info.index, 2u);
  EXPECT_EQ(info.type, 4u);
  EXPECT_EQ(info.physicalLEDs, 1u);
  EXPECT_EQ(info.capabilities, 3u);
  EXPECT_EQ(info.nvCapabilities, 2u);
  EXPECT_EQ(Feature1300LEDControl::describe(info),
            "LED[2]: type=Logo physicalLEDs=1 capabilities=( Off On ) nvCapabilities=AlwaysOn");
}

struct LineCase {
  IFeature1300LEDControl::LEDInfo info;
  std::string line;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.line; }

class LEDLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(LEDLineTest, NamesTypeCapabilitiesInBitOrderAndNvCapability) {
  EXPECT_EQ(Feature1300LEDControl::describe(GetParam().info), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LEDLineTest,
    testing::Values(
        LineCase{{0, 1, 2, 0x0000, 1}, "LED[0]: type=Battery physicalLEDs=2 capabilities=( ) nvCapabilities=AlwaysOff"},
        LineCase{{1, 2, 1, 0xFFFF, 4},
                 "LED[1]: type=DPI physicalLEDs=1 capabilities=( Off On Blink Traveling RampUp RampDown HeartBeat "
                 "Breathing ) nvCapabilities=OnThenOff"},
        LineCase{{3, 3, 1, 0x0150, 0},
                 "LED[3]: type=Profile physicalLEDs=1 capabilities=( RampUp HeartBeat ) "
                 "nvCapabilities=None"},
        LineCase{{4, 5, 1, 0x0084, 3},
                 "LED[4]: type=Cosmetic physicalLEDs=1 capabilities=( Blink Breathing ) "
                 "nvCapabilities=None"},
        LineCase{{5, 9, 1, 0x0002, 2},
                 "LED[5]: type=Unknown physicalLEDs=1 capabilities=( On ) nvCapabilities=AlwaysOn"}));

// The request each operation sends; the answer carries nothing they need.
struct RequestCase {
  std::string name;
  std::function<bool(IFeature1300LEDControl&)> call;
  unsigned function;
  Bytes params;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class LEDRequestTest : public LEDControlTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(LEDRequestTest, SendsItsFunctionAndPayload) {
  const RequestCase& c = GetParam();
  device->expect({{request(c.function, c.params), answer(Index, c.function, 15, {})}});
  EXPECT_TRUE(c.call(*feature));
}

TEST_P(LEDRequestTest, KeepsTheEnginesError) {
  const RequestCase& c = GetParam();
  device->expect({{request(c.function, c.params), {}, {NotConnected}}});
  EXPECT_FALSE(c.call(*feature));
  EXPECT_EQ(LastError::get().code, NotConnected);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, LEDRequestTest,
    testing::Values(RequestCase{"SetSWControl", [](auto& f) { return f.SetSWControl(1); }, 3, {0x01}},
                    RequestCase{"SetLEDState",
                                [](auto& f) { return f.SetLEDState(1, 0x0102, 0x0304, 0x0506, 0x0708); },
                                5,
                                {0x01, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},
                    RequestCase{"SetNvConfig", [](auto& f) { return f.SetNvConfig(3, 2); }, 7, {0x03, 0x02}},
                    RequestCase{"GetLEDCount", [](auto& f) { return f.GetLEDCount(nullptr); }, 0, {}},
                    RequestCase{"HasSWControl", [](auto& f) { return f.HasSWControl(nullptr); }, 2, {}},
                    RequestCase{"GetLEDState", [](auto& f) { return f.GetLEDState(6, nullptr); }, 4, {0x06}},
                    RequestCase{"GetNvConfig", [](auto& f) { return f.GetNvConfig(6, nullptr); }, 6, {0x06}},
                    RequestCase{"LastIndex", [](auto& f) { return f.GetNvConfig(255, nullptr); }, 6, {0xFF}}),
    [](const testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

// Operations that take an index: one that does not fit the request's byte is refused before
// anything is sent (256 would otherwise go out as LED 0).
struct IndexCase {
  std::string name;
  std::function<bool(IFeature1300LEDControl&, int index)> call;
};

void PrintTo(const IndexCase& c, std::ostream* os) { *os << c.name; }

class LEDIndexTest : public LEDControlTest, public testing::WithParamInterface<std::tuple<IndexCase, int>> {};

TEST_P(LEDIndexTest, IndexOutsideOneByteFailsWithVelo20Error2) {
  const auto& [operation, index] = GetParam();
  EXPECT_FALSE(operation.call(*feature, index));
  EXPECT_EQ(LastError::get().code, Velo20Error2);
  EXPECT_TRUE(device->sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, LEDIndexTest,
    testing::Combine(
        testing::Values(
            IndexCase{"GetLEDInfo", [](auto& f, int i) { return f.GetLEDInfo(i, nullptr); }},
            IndexCase{"GetLEDState", [](auto& f, int i) { return f.GetLEDState(i, nullptr); }},
            IndexCase{"AdditionalInfo",
                      [](auto& f, int i) { return f.GetLEDStateAdditionalInfo(i, nullptr, nullptr, nullptr, nullptr); }},
            IndexCase{"SetLEDState", [](auto& f, int i) { return f.SetLEDState(i, 0, 0, 0, 0); }},
            IndexCase{"GetNvConfig", [](auto& f, int i) { return f.GetNvConfig(i, nullptr); }},
            IndexCase{"SetNvConfig", [](auto& f, int i) { return f.SetNvConfig(i, 1); }}),
        testing::Values(-1, 256)),
    [](const testing::TestParamInfo<LEDIndexTest::ParamType>& info) {
      const int index = std::get<1>(info.param);
      return std::get<0>(info.param).name + (index < 0 ? "Negative" : "Above255");
    });

TEST_F(LEDControlTest, ReadsDecodeTheirBytes) {
  device->expect({{request(0), answer(Index, 0, 15, {0x03})},
                  {request(2), answer(Index, 2, 15, {0x01})},
                  {request(4, {0x01}), answer(Index, 4, 15, {0x01, 0x05})},
                  {request(6, {0x01}), answer(Index, 6, 15, {0x01, 0x02})}});
  int count = 0, state = 0, config = 0;
  bool control = false;
  ASSERT_TRUE(feature->GetLEDCount(&count));
  EXPECT_EQ(count, 3);
  ASSERT_TRUE(feature->HasSWControl(&control));
  EXPECT_TRUE(control);
  ASSERT_TRUE(feature->GetLEDState(1, &state));
  EXPECT_EQ(state, 5);
  ASSERT_TRUE(feature->GetNvConfig(1, &config));
  EXPECT_EQ(config, 2);
}

TEST_F(LEDControlTest, AdditionalInfoReadsBytes3To5) {
  device->expect({{request(4, {0x01}), answer(Index, 4, 15, {0x01, 0x05, 0x00, 0x07, 0x01, 0x09})},
                  {request(4, {0x01}), answer(Index, 4, 15, {0x01, 0x05, 0x00, 0x07, 0x02, 0x09})}});
  int state = 0, extra = 0, value = -1;
  bool flagged = false;
  ASSERT_TRUE(feature->GetLEDStateAdditionalInfo(1, &state, &extra, &flagged, &value));
  EXPECT_EQ(state, 5);
  EXPECT_EQ(extra, 7);
  EXPECT_TRUE(flagged);
  EXPECT_EQ(value, 9);
  ASSERT_TRUE(feature->GetLEDStateAdditionalInfo(1, &state, &extra, &flagged, &value));
  EXPECT_FALSE(flagged);
  EXPECT_EQ(value, 0);
}

// A short report carries 3 payload bytes: too few for the LED record and for the additional
// state information, which must not be read past the payload's end.
TEST_F(LEDControlTest, ShortAnswersFailWithCommandResponseTooShort) {
  device->expect({{request(1, {0x00}), answer(Index, 1, 15, {0x00, 0x04, 0x01})},
                  {request(4, {0x00}), answer(Index, 4, 15, {0x00, 0x05, 0x00})}});
  IFeature1300LEDControl::LEDInfo info;
  info.type = 77;
  EXPECT_FALSE(feature->GetLEDInfo(0, &info));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
  EXPECT_EQ(info.type, 77u);

  int state = -1;
  EXPECT_FALSE(feature->GetLEDStateAdditionalInfo(0, &state, nullptr, nullptr, nullptr));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
  EXPECT_EQ(state, -1);
}

}  // namespace
}  // namespace devio
