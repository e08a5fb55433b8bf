#include "info/DeviceInspector.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "tests/support/ScriptedDevice.h"

namespace {

using State = std::vector<std::pair<std::string, int>>;

// Answers every request with the same payload, or refuses them all.
class AnsweringDevice : public testsupport::ScriptedDevice {
 public:
  devio::Bytes payload;
  bool refuse = false;

  bool sendSynchronousCommand(const devio::Bytes& cmd, devio::Bytes* rsp, bool, const std::vector<int>&) override {
    if (refuse) {
      devio::LastError::set(devio::NotConnected);
      return false;
    }
    if (rsp) *rsp = testsupport::answer(cmd[2], cmd[3] >> 4, cmd[3] & 0x0F, payload);
    return true;
  }
};

struct StateCase {
  unsigned id;
  const char* className;
  devio::Bytes payload;
  State state;
};

class DeviceInspectorState : public testing::TestWithParam<StateCase> {};

TEST_P(DeviceInspectorState, NamesTheClassAndDecodesTheSetting) {
  auto device = std::make_shared<AnsweringDevice>();
  device->payload = GetParam().payload;
  const auto feature = devio::createFeature(GetParam().id, 5, device);
  EXPECT_EQ(DeviceInspector::className(*feature), GetParam().className);
  EXPECT_EQ(DeviceInspector::state(*feature), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Features, DeviceInspectorState,
    testing::Values(
        StateCase{0x1000, "Feature1000BatteryUnifiedLeveStatus", {80, 50, 1}, {{"level", 80}, {"next_level", 50}, {"status", 1}}},
        StateCase{0x1981, "Feature1981KeyboardBacklight", {4, 6, 1}, {{"level", 4}, {"duration", 6}, {"status", 1}}},
        StateCase{0x2121, "Feature2121HiResWheel", {0x06}, {{"target", 0}, {"high_resolution", 1}, {"inverted", 1}}},
        StateCase{0x2130, "Feature2130RatchetWheel", {1}, {{"wheel_mode", 1}}},
        // The count and the DPI come from the same answer: one sensor at 0x0640.
        StateCase{0x2201, "Feature2201AdjustableDPI", {1, 0x06, 0x40}, {{"dpi_sensor_0", 1600}}},
        StateCase{0x4220, "Feature4220LockKeyState", {0x02}, {{"lock_state", 2}}},
        StateCase{0x4540, "Feature4540KBLayout", {3}, {{"layout", 3}}},
        StateCase{0x8060, "Feature8060ReportRate", {8}, {{"report_interval_ms", 8}}},
        StateCase{0x1B04, "Feature1B04SpecialKeys", {1}, {}},
        StateCase{0x1234, "Feature", {1}, {}}),
    [](const auto& info) { return std::string(info.param.className); });

TEST(DeviceInspectorTest, ARefusedReadShowsNoState) {
  auto device = std::make_shared<AnsweringDevice>();
  device->refuse = true;
  EXPECT_TRUE(DeviceInspector::state(*devio::createFeature(0x1000, 5, device)).empty());
}

}  // namespace
