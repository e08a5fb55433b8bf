#include "info/InfoOutput.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<InspectedDevice> oneDevice(std::string name) {
  InspectedDevice device;
  device.pid = 0x6E21;
  device.name = std::move(name);
  device.path = "C:\\dev\\hid#1";
  device.firmware = {{0, "U1 ", "0100", "0001"}};
  device.features = {{0x0000, 0, "Feature0000Root", {}},
                     {0x1000, 6, "Feature1000BatteryUnifiedLeveStatus", {{"level", 80}, {"status", 1}}}};
  return {device};
}

std::string json(const std::vector<InspectedDevice>& devices) {
  std::ostringstream out;
  InfoOutput::printJson(out, devices);
  return out.str();
}

std::string text(const std::vector<InspectedDevice>& devices) {
  std::ostringstream out;
  InfoOutput::printText(out, devices);
  return out.str();
}

// Names and paths come from the device and the host: they must not break the document.
TEST(InfoOutputTest, JsonEscapesQuotesBackslashesAndControlCharacters) {
  const std::string out = json(oneDevice("Desk \"A\"\tkeys"));
  EXPECT_NE(out.find(R"("name": "Desk \"A\"\u0009keys")"), std::string::npos) << out;
  EXPECT_NE(out.find(R"("path": "C:\\dev\\hid#1")"), std::string::npos) << out;
}

TEST(InfoOutputTest, JsonGivesAStateOnlyToFeaturesThatHoldOne) {
  const std::string out = json(oneDevice("Keyboard"));
  EXPECT_NE(out.find(R"({"id": 0, "index": 0, "class": "Feature0000Root"})"), std::string::npos) << out;
  EXPECT_NE(out.find(R"("class": "Feature1000BatteryUnifiedLeveStatus", "state": {"level": 80, "status": 1}})"),
            std::string::npos)
      << out;
}

TEST(InfoOutputTest, JsonOfNoDeviceIsAnEmptyList) { EXPECT_EQ(json({}), "{\"devices\": [\n]}\n"); }

TEST(InfoOutputTest, TextShowsIdsInHexAndTheStateAfterTheClass) {
  const std::string out = text(oneDevice("Keyboard"));
  EXPECT_NE(out.find("product id  0x6E21"), std::string::npos) << out;
  EXPECT_NE(out.find("0x0000  index   0  Feature0000Root\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Feature1000BatteryUnifiedLeveStatus      level=80 status=1\n"), std::string::npos) << out;
}

// Only a device behind a receiver has a slot and a link state.
TEST(InfoOutputTest, SlotAndLinkStateOnlyBehindAReceiver) {
  auto devices = oneDevice("Mouse");
  EXPECT_EQ(text(devices).find("slot"), std::string::npos);
  EXPECT_EQ(json(devices).find("\"slot\""), std::string::npos);
  devices[0].busType = 1;
  devices[0].slot = 0;
  devices[0].connected = false;
  EXPECT_NE(text(devices).find("  slot        0\n  link        not connected\n"), std::string::npos) << text(devices);
  EXPECT_NE(json(devices).find(R"("bus_type": 1, "path": "C:\\dev\\hid#1", "slot": 0, "connected": false,)"),
            std::string::npos)
      << json(devices);
}

}  // namespace
