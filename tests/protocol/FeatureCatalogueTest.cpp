// The feature catalogue as tables: every registered id makes its class; every operation sends the
// function of its table row with the row's cacheable flag, fails on a too-short answer and, when it
// changes a setting, refuses without ownership of the configuration; the members that keep pending
// changes queue and replay them; the notification decoders and the watchers of other applications'
// changes fire the right events.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "devio/features/Feature1B04SpecialKeys.h"
#include "devio/features/IFeature0005DeviceNameType.h"
#include "devio/features/IFeature0007DeviceFriendlyName.h"
#include "devio/features/IFeature00c0DFUControl.h"
#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/features/IFeature00c2DFUControl.h"
#include "devio/features/IFeature00d0DFU.h"
#include "devio/features/IFeature1000BatteryUnifiedLevelStatus.h"
#include "devio/features/IFeature1001BatteryVoltage.h"
#include "devio/features/IFeature1300LEDControl.h"
#include "devio/features/IFeature1800GenericTest.h"
#include "devio/features/IFeature1805OOBState.h"
#include "devio/features/IFeature1806ConfigurableDeviceProperties.h"
#include "devio/features/IFeature1814ChangeHost.h"
#include "devio/features/IFeature1815HostsInfos.h"
#include "devio/features/IFeature1981KeyboardBacklight.h"
#include "devio/features/IFeature1A00PresenterControl.h"
#include "devio/features/IFeature1B00SpecialKeys.h"
#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/features/IFeature1B04SpecialKeys.h"
#include "devio/features/IFeature1BC0ReportHIDUsages.h"
#include "devio/features/IFeature1C00PersistentRemappableAction.h"
#include "devio/features/IFeature1D4BWirelessStatus.h"
#include "devio/features/IFeature1E00EnableHiddenFeatures.h"
#include "devio/features/IFeature1F1FFirmwareProperties.h"
#include "devio/features/IFeature1F20ADCMeasurement.h"
#include "devio/features/IFeature2005ButtonSwapCancel.h"
#include "devio/features/IFeature2110SmartShift.h"
#include "devio/features/IFeature2121HiResWheel.h"
#include "devio/features/IFeature2130RatchetWheel.h"
#include "devio/features/IFeature2201AdjustableDPI.h"
#include "devio/features/IFeature2205PointerMotionScaling.h"
#include "devio/features/IFeature2230AngleSnapping.h"
#include "devio/features/IFeature2240SurfaceTuning.h"
#include "devio/features/IFeature2400HybridTracking.h"
#include "devio/features/IFeature40A2FnInversion.h"
#include "devio/features/IFeature40A3FnInversion.h"
#include "devio/features/IFeature4220LockKeyState.h"
#include "devio/features/IFeature4521DisableKeys.h"
#include "devio/features/IFeature4522DKU.h"
#include "devio/features/IFeature4530DualPlatform.h"
#include "devio/features/IFeature4531MultiPlatform.h"
#include "devio/features/IFeature4540KBLayout.h"
#include "devio/features/IFeature6010Gestures.h"
#include "devio/features/IFeature6012Gestures.h"
#include "devio/features/IFeature6100TouchPadRawXY.h"
#include "devio/features/IFeature6500Gestures.h"
#include "devio/features/IFeature6501Gestures.h"
#include "devio/features/IFeature8010Gkey.h"
#include "devio/features/IFeature8020Mkeys.h"
#include "devio/features/IFeature8030MR.h"
#include "devio/features/IFeature8060ReportRate.h"
#include "devio/features/IFeature8070ColorLEDEffects.h"
#include "devio/features/IFeature8080PerKeyLighting.h"
#include "devio/features/IFeature8100OnboardProfiles.h"
#include "devio/features/IFeature8110MouseButtonSpy.h"
#include "devio/features/IFeature8111LatencyMonitoring.h"
#include "devio/features/IFeature8120GamingAttachments.h"
#include "devio/features/IFeature8123ForceFeedback.h"
#include "devio/features/IFeature8300Sidetone.h"
#include "devio/features/IFeature8310Equalizer.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/IFeature0000Root.h"
#include "devio/protocol/IFeature0001FeatureSet.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/protocol/IFeature0020ConfigChange.h"
#include "devio/protocol/IFeature1802DeviceReset.h"
#include "devio/protocol/LastError.h"
#include "tests/protocol/CatalogueEventRecorders.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

template <class I>
I& as(IFeature& feature) {
  return dynamic_cast<I&>(feature);
}

template <class I>
bool implements(const std::shared_ptr<IFeature>& feature) {
  return std::dynamic_pointer_cast<I>(feature) != nullptr;
}

// Answers every request with payload, or fails it with failure while refuse says so. Keeps every
// request.
class AnsweringDevice : public ScriptedDevice {
 public:
  Bytes payload = Bytes(16, 0x03);
  ErrorCode failure = NotConnected;
  std::function<bool(const Bytes& request)> refuse = [](const Bytes&) { return false; };
  std::vector<std::pair<int, bool>> functions;  // function and cacheable flag of each request
  std::vector<Bytes> requests;

  bool sendSynchronousCommand(const Bytes& cmd, Bytes* rsp, bool cacheable, const std::vector<int>&) override {
    functions.emplace_back(cmd[3] >> 4, cacheable);
    requests.push_back(cmd);
    if (refuse(cmd)) {
      LastError::set(failure);
      return false;
    }
    if (rsp) *rsp = answer(cmd[2], cmd[3] >> 4, cmd[3] & 0x0F, payload);
    return true;
  }
};

constexpr int Index = 5;

struct ClassCase {
  unsigned id;
  const char* name;
  std::function<bool(const std::shared_ptr<IFeature>&)> isClass;
};

void PrintTo(const ClassCase& c, std::ostream* os) { *os << c.name; }

class CatalogueClasses : public testing::TestWithParam<ClassCase> {};

TEST_P(CatalogueClasses, RegistryMakesTheClassOfTheId) {
  auto device = std::make_shared<AnsweringDevice>();
  auto feature = createFeature(GetParam().id, Index, device);
  ASSERT_NE(feature, nullptr);
  EXPECT_TRUE(GetParam().isClass(feature));
  EXPECT_NE(std::dynamic_pointer_cast<Feature>(feature), nullptr);
  EXPECT_EQ(feature->id(), GetParam().id);
  EXPECT_EQ(feature->index(), Index);
}

const std::vector<ClassCase> AllClasses{
    ClassCase{0x0000, "Feature0000Root", implements<IFeature0000Root>},
    ClassCase{0x0001, "Feature0001FeatureSet", implements<IFeature0001FeatureSet>},
    ClassCase{0x0003, "Feature0003FirmwareInfo", implements<IFeature0003FirmwareInfo>},
    ClassCase{0x0020, "Feature0020ConfigChange", implements<IFeature0020ConfigChange>},
    ClassCase{0x00C0, "Feature00c0DFUControl", implements<IFeature00c0DFUControl>},
    ClassCase{0x00C1, "Feature00c1DFUControl", implements<IFeature00c1DFUControl>},
    ClassCase{0x00C2, "Feature00c2DFUControl", implements<IFeature00c2DFUControl>},
    ClassCase{0x00D0, "Feature00d0DFU", implements<IFeature00d0DFU>},
    ClassCase{0x1300, "Feature1300LEDControl", implements<IFeature1300LEDControl>},
    ClassCase{0x1802, "Feature1802DeviceReset", implements<IFeature1802DeviceReset>},
    ClassCase{0x8100, "Feature8100OnboardProfiles", implements<IFeature8100OnboardProfiles>},
    ClassCase{0x0005, "Feature0005DeviceNameType", implements<IFeature0005DeviceNameType>},
    ClassCase{0x0007, "Feature0007DeviceFriendlyName", implements<IFeature0007DeviceFriendlyName>},
    ClassCase{0x1000, "Feature1000BatteryUnifiedLeveStatus", implements<IFeature1000BatteryUnifiedLevelStatus>},
    ClassCase{0x1001, "Feature1001BatteryVoltage", implements<IFeature1001BatteryVoltage>},
    ClassCase{0x1800, "Feature1800GenericTest", implements<IFeature1800GenericTest>},
    ClassCase{0x1805, "Feature1805OOBState", implements<IFeature1805OOBState>},
    ClassCase{0x1806, "Feature1806ConfigurableDeviceProperties", implements<IFeature1806ConfigurableDeviceProperties>},
    ClassCase{0x1814, "Feature1814ChangeHost", implements<IFeature1814ChangeHost>},
    ClassCase{0x1815, "Feature1815HostsInfos", implements<IFeature1815HostsInfos>},
    ClassCase{0x1981, "Feature1981KeyboardBacklight", implements<IFeature1981KeyboardBacklight>},
    ClassCase{0x1A00, "Feature1A00PresenterControl", implements<IFeature1A00PresenterControl>},
    ClassCase{0x1B00, "Feature1B00SpecialKeys", implements<IFeature1B00SpecialKeys>},
    ClassCase{0x1B03, "Feature1B03SpecialKeys", implements<IFeature1B03SpecialKeys>},
    ClassCase{0x1B04, "Feature1B04SpecialKeys", implements<IFeature1B04SpecialKeys>},
    ClassCase{0x1BC0, "Feature1BC0ReportHIDUsages", implements<IFeature1BC0ReportHIDUsages>},
    ClassCase{0x1C00, "Feature1C00PersistentRemappableAction", implements<IFeature1C00PersistentRemappableAction>},
    ClassCase{0x1D4B, "Feature1D4BWirelessStatus", implements<IFeature1D4BWirelessStatus>},
    ClassCase{0x1E00, "Feature1E00EnableHiddenFeatures", implements<IFeature1E00EnableHiddenFeatures>},
    ClassCase{0x1F20, "Feature1F20ADCMeasurement", implements<IFeature1F20ADCMeasurement>},
    ClassCase{0x2005, "Feature2005ButtonSwapCancel", implements<IFeature2005ButtonSwapCancel>},
    ClassCase{0x40A2, "Feature40A2FnInversion", implements<IFeature40A2FnInversion>},
    ClassCase{0x4521, "Feature4521DisableKeys", implements<IFeature4521DisableKeys>},
    ClassCase{0x40A3, "Feature40A3FnInversion", implements<IFeature40A3FnInversion>},
    ClassCase{0x4220, "Feature4220LockKeyState", implements<IFeature4220LockKeyState>},
    ClassCase{0x4522, "Feature4522DisableKeysByUsage", implements<IFeature4522DKU>},
    ClassCase{0x4530, "Feature4530DualPlatform", implements<IFeature4530DualPlatform>},
    ClassCase{0x4531, "Feature4531MultiPlatform", implements<IFeature4531MultiPlatform>},
    ClassCase{0x4540, "Feature4540KBLayout", implements<IFeature4540KBLayout>},
    ClassCase{0x2110, "Feature2110SmartShift", implements<IFeature2110SmartShift>},
    ClassCase{0x2121, "Feature2121HiResWheel", implements<IFeature2121HiResWheel>},
    ClassCase{0x2130, "Feature2130RatchetWheel", implements<IFeature2130RatchetWheel>},
    ClassCase{0x2201, "Feature2201AdjustableDPI", implements<IFeature2201AdjustableDPI>},
    ClassCase{0x2205, "Feature2205PointerMotionScaling", implements<IFeature2205PointerMotionScaling>},
    ClassCase{0x2230, "Feature2230AngleSnapping", implements<IFeature2230AngleSnapping>},
    ClassCase{0x2240, "Feature2240SurfaceTuning", implements<IFeature2240SurfaceTuning>},
    ClassCase{0x2400, "Feature2400HybridTracking", implements<IFeature2400HybridTracking>},
    ClassCase{0x6010, "Feature6010Gestures", implements<IFeature6010Gestures>},
    ClassCase{0x6012, "Feature6012Gestures", implements<IFeature6012Gestures>},
    ClassCase{0x6100, "Feature6100TouchPadRawXY", implements<IFeature6100TouchPadRawXY>},
    ClassCase{0x6500, "Feature6500Gestures", implements<IFeature6500Gestures>},
    ClassCase{0x6501, "Feature6501Gestures", implements<IFeature6501Gestures>},
    ClassCase{0x8010, "Feature8010Gkey", implements<IFeature8010Gkey>},
    ClassCase{0x8020, "Feature8020Mkeys", implements<IFeature8020Mkeys>},
    ClassCase{0x8030, "Feature8030MR", implements<IFeature8030MR>},
    ClassCase{0x8060, "Feature8060ReportRate", implements<IFeature8060ReportRate>},
    ClassCase{0x8070, "Feature8070ColorLEDEffects", implements<IFeature8070ColorLEDEffects>},
    ClassCase{0x8080, "Feature8080PerKeyLighting", implements<IFeature8080PerKeyLighting>},
    ClassCase{0x8110, "Feature8110MouseButtonSpy", implements<IFeature8110MouseButtonSpy>},
    ClassCase{0x8111, "Feature8111LatencyMonitoring", implements<IFeature8111LatencyMonitoring>},
    ClassCase{0x8120, "Feature8120GamingAttachments", implements<IFeature8120GamingAttachments>},
    ClassCase{0x8123, "Feature8123ForceFeedback", implements<IFeature8123ForceFeedback>},
    ClassCase{0x8300, "Feature8300Sidetone", implements<IFeature8300Sidetone>},
    ClassCase{0x8310, "Feature8310Equalizer", implements<IFeature8310Equalizer>},
    ClassCase{0x1F1F, "Feature1F1FFirmwareProperties", implements<IFeature1F1FFirmwareProperties>},
};

INSTANTIATE_TEST_SUITE_P(AllIds, CatalogueClasses, testing::ValuesIn(AllClasses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CatalogueClasses, TableHoldsEverySixtyFiveIds) { EXPECT_EQ(AllClasses.size(), 65u); }

TEST(CatalogueClasses, UnknownIdGetsAPlainFeature) {
  auto device = std::make_shared<AnsweringDevice>();
  auto feature = createFeature(0x1234, Index, device);
  ASSERT_NE(feature, nullptr);
  EXPECT_EQ(typeid(*feature), typeid(Feature));
  Bytes payload;
  EXPECT_TRUE(feature->sendFeatureCommand(2, {}, payload, false));
}

struct OperationCase {
  unsigned id;
  const char* name;
  std::function<bool(IFeature&)> call;
  std::vector<std::pair<int, bool>> functions;  // function and cacheable flag, in order
  std::size_t minimum;                          // payload bytes the first answer must hold
  bool setting;
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << std::hex << c.id << " " << c.name; }

const std::vector<OperationCase> Operations{
    {0x0005,
     "GetCount",
     [](IFeature& f) { return as<IFeature0005DeviceNameType>(f).GetCount(nullptr); },
     {{0, true}},
     1,
     false},
    {0x0005,
     "GetDeviceName",
     [](IFeature& f) { return as<IFeature0005DeviceNameType>(f).GetDeviceName(nullptr); },
     {{0, true}, {1, true}},
     0,
     false},
    {0x0005,
     "GetDeviceName",
     [](IFeature& f) { return as<IFeature0005DeviceNameType>(f).GetDeviceName(0, nullptr); },
     {{1, true}},
     0,
     false},
    {0x0005,
     "GetDeviceType",
     [](IFeature& f) { return as<IFeature0005DeviceNameType>(f).GetDeviceType(static_cast<int*>(nullptr)); },
     {{2, true}},
     1,
     false},
    {0x0005,
     "GetDeviceType",
     [](IFeature& f) { return as<IFeature0005DeviceNameType>(f).GetDeviceType(static_cast<std::string*>(nullptr)); },
     {{2, true}},
     0,
     false},
    {0x0007,
     "GetFriendlyNameLen",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).GetFriendlyNameLen(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x0007,
     "GetFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).GetFriendlyName(nullptr); },
     {{0, false}, {1, false}},
     0,
     false},
    {0x0007,
     "GetFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).GetFriendlyName(1, nullptr); },
     {{1, false}},
     0,
     false},
    {0x0007,
     "GetDefaultFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).GetDefaultFriendlyName(nullptr); },
     {{0, false}, {2, false}},
     0,
     false},
    {0x0007,
     "GetDefaultFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).GetDefaultFriendlyName(1, nullptr); },
     {{2, false}},
     0,
     false},
    {0x0007,
     "SetFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).SetFriendlyName("ab"); },
     {{3, false}},
     0,
     true},
    {0x0007,
     "SetFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).SetFriendlyName(0, "ab"); },
     {{3, false}},
     0,
     true},
    {0x0007,
     "ResetFriendlyName",
     [](IFeature& f) { return as<IFeature0007DeviceFriendlyName>(f).ResetFriendlyName(); },
     {{4, false}},
     0,
     true},
    {0x1000,
     "GetBatteryLevelStatus",
     [](IFeature& f) {
       return as<IFeature1000BatteryUnifiedLevelStatus>(f).GetBatteryLevelStatus(nullptr, nullptr, nullptr);
     },
     {{0, false}},
     3,
     false},
    {0x1000,
     "GetBatteryCapability",
     [](IFeature& f) { return as<IFeature1000BatteryUnifiedLevelStatus>(f).GetBatteryCapability(nullptr, nullptr); },
     {{1, true}},
     2,
     false},
    {0x1001,
     "GetBatteryVoltage",
     [](IFeature& f) { return as<IFeature1001BatteryVoltage>(f).GetBatteryVoltage(nullptr); },
     {{0, false}},
     3,
     false},
    {0x1001,
     "ShowBatteryStatus",
     [](IFeature& f) { return as<IFeature1001BatteryVoltage>(f).ShowBatteryStatus(); },
     {{1, false}},
     0,
     false},
    {0x1800,
     "Test",
     [](IFeature& f) {
       return as<IFeature1800GenericTest>(f).Test(Bytes{1, 2}, nullptr);
     },
     {{0, false}},
     0,
     false},
    {0x1805,
     "SetOobState",
     [](IFeature& f) { return as<IFeature1805OOBState>(f).SetOobState(); },
     {{0, false}},
     0,
     false},
    {0x1806,
     "GetPropertyInfo",
     [](IFeature& f) { return as<IFeature1806ConfigurableDeviceProperties>(f).GetPropertyInfo(1, nullptr, nullptr); },
     {{0, true}},
     3,
     false},
    {0x1806,
     "SelectProperty",
     [](IFeature& f) { return as<IFeature1806ConfigurableDeviceProperties>(f).SelectProperty(1, 1); },
     {{1, false}},
     0,
     false},
    {0x1806,
     "ReadProperty",
     [](IFeature& f) { return as<IFeature1806ConfigurableDeviceProperties>(f).ReadProperty(nullptr); },
     {{2, false}},
     0,
     false},
    {0x1806,
     "WriteProperty",
     [](IFeature& f) {
       return as<IFeature1806ConfigurableDeviceProperties>(f).WriteProperty(Bytes{1, 2});
     },
     {{3, false}},
     0,
     true},
    {0x1814,
     "GetHostInfo",
     [](IFeature& f) { return as<IFeature1814ChangeHost>(f).GetHostInfo(nullptr, nullptr); },
     {{0, false}},
     2,
     false},
    {0x1814,
     "SetCurrentHost",
     [](IFeature& f) { return as<IFeature1814ChangeHost>(f).SetCurrentHost(1, true); },
     {{1, false}},
     0,
     false},
    {0x1814,
     "GetCookies",
     [](IFeature& f) { return as<IFeature1814ChangeHost>(f).GetCookies(nullptr); },
     {{2, false}},
     0,
     false},
    {0x1814,
     "SetCookie",
     [](IFeature& f) { return as<IFeature1814ChangeHost>(f).SetCookie(1, 1); },
     {{3, false}},
     0,
     false},
    {0x1815,
     "GetFeatureInfos",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).GetFeatureInfos(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x1815,
     "GetHostInfos",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).GetHostInfos(1, nullptr, nullptr, nullptr, nullptr); },
     {{1, false}},
     5,
     false},
    {0x1815,
     "GetHostFriendlyName",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).GetHostFriendlyName(0, 0, nullptr); },
     {{2, false}},
     0,
     false},
    {0x1815,
     "GetHostFriendlyName",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).GetHostFriendlyName(0, nullptr); },
     {{1, false}, {2, false}},
     5,
     false},
    {0x1815,
     "SetHostFriendlyName",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).SetHostFriendlyName(1, 1, "ab"); },
     {{3, false}},
     0,
     true},
    {0x1815,
     "MoveHost",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).MoveHost(1, 1); },
     {{4, false}},
     0,
     true},
    {0x1815,
     "DeleteHost",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).DeleteHost(1); },
     {{5, false}},
     0,
     true},
    {0x1815,
     "SetHostDescriptor",
     [](IFeature& f) {
       return as<IFeature1815HostsInfos>(f).SetHostDescriptor(1, Bytes{1, 2});
     },
     {{6, false}},
     0,
     true},
    {0x1815,
     "GetHostOSVersion",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).GetHostOSVersion(1, nullptr, nullptr, nullptr); },
     {{7, false}},
     4,
     false},
    {0x1815,
     "SetHostOSVersion",
     [](IFeature& f) { return as<IFeature1815HostsInfos>(f).SetHostOSVersion(1, 1, 1, 1); },
     {{8, false}},
     0,
     true},
    {0x1981,
     "GetBacklightDuration",
     [](IFeature& f) { return as<IFeature1981KeyboardBacklight>(f).GetBacklightDuration(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x1981,
     "SetBacklightDuration",
     [](IFeature& f) { return as<IFeature1981KeyboardBacklight>(f).SetBacklightDuration(1, 1); },
     {{1, false}},
     0,
     true},
    {0x1A00,
     "GetCount",
     [](IFeature& f) { return as<IFeature1A00PresenterControl>(f).GetCount(nullptr); },
     {{0, false}},
     1,
     false},
    {0x1A00,
     "GetControlInfo",
     [](IFeature& f) { return as<IFeature1A00PresenterControl>(f).GetControlInfo(1, nullptr, nullptr); },
     {{1, false}},
     3,
     false},
    {0x1A00,
     "GetControlReporting",
     [](IFeature& f) { return as<IFeature1A00PresenterControl>(f).GetControlReporting(1, nullptr); },
     {{2, false}},
     3,
     false},
    {0x1A00,
     "SetControlReporting",
     [](IFeature& f) { return as<IFeature1A00PresenterControl>(f).SetControlReporting(1, 1); },
     {{3, false}},
     0,
     true},
    {0x1B00,
     "GetControlCount",
     [](IFeature& f) { return as<IFeature1B00SpecialKeys>(f).GetControlCount(nullptr); },
     {{0, true}},
     1,
     false},
    {0x1B00,
     "GetControlInfo",
     [](IFeature& f) { return as<IFeature1B00SpecialKeys>(f).GetControlInfo(1, nullptr); },
     {{1, true}},
     5,
     false},
    {0x1B03,
     "GetControlCount",
     [](IFeature& f) { return as<IFeature1B03SpecialKeys>(f).GetControlCount(nullptr); },
     {{0, true}},
     1,
     false},
    {0x1B03,
     "GetControlInfo",
     [](IFeature& f) { return as<IFeature1B03SpecialKeys>(f).GetControlInfo(1, nullptr); },
     {{1, true}},
     5,
     false},
    {0x1B03,
     "GetControlReporting",
     [](IFeature& f) { return as<IFeature1B03SpecialKeys>(f).GetControlReporting(1, nullptr, nullptr); },
     {{4, false}},
     3,
     false},
    {0x1B03,
     "SetCtrlIdReporting",
     [](IFeature& f) { return as<IFeature1B03SpecialKeys>(f).SetCtrlIdReporting(1, 1, 1); },
     {{5, false}},
     0,
     true},
    {0x1B04,
     "GetControlCount",
     [](IFeature& f) { return as<IFeature1B04SpecialKeys>(f).GetControlCount(nullptr); },
     {{0, true}},
     1,
     false},
    {0x1B04,
     "GetControlInfo",
     [](IFeature& f) {
       return as<IFeature1B04SpecialKeys>(f).GetControlInfo(1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                            nullptr);
     },
     {{1, true}},
     5,
     false},
    {0x1B04,
     "GetControlReporting",
     [](IFeature& f) { return as<IFeature1B04SpecialKeys>(f).GetControlReporting(1, nullptr, nullptr); },
     {{2, false}},
     3,
     false},
    {0x1B04,
     "SetCtrlIdReporting",
     [](IFeature& f) { return as<IFeature1B04SpecialKeys>(f).SetCtrlIdReporting(1, 1, 1); },
     {{3, false}},
     0,
     true},
    {0x1BC0,
     "DisableReporting",
     [](IFeature& f) { return as<IFeature1BC0ReportHIDUsages>(f).DisableReporting(); },
     {{1, false}},
     0,
     true},
    {0x1BC0,
     "SetReporting",
     [](IFeature& f) { return as<IFeature1BC0ReportHIDUsages>(f).SetReporting(true); },
     {{1, false}},
     0,
     true},
    {0x1BC0,
     "GetReporting",
     [](IFeature& f) { return as<IFeature1BC0ReportHIDUsages>(f).GetReporting(nullptr); },
     {{2, false}},
     1,
     false},
    {0x1C00,
     "GetCapabilities",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).GetCapabilities(nullptr, nullptr); },
     {{0, false}},
     2,
     false},
    {0x1C00,
     "GetActionInfo",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).GetActionInfo(1, nullptr, nullptr); },
     {{1, false}},
     3,
     false},
    {0x1C00,
     "GetAction",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).GetAction(1, nullptr); },
     {{2, false}},
     2,
     false},
    {0x1C00,
     "SetAction",
     [](IFeature& f) {
       return as<IFeature1C00PersistentRemappableAction>(f).SetAction(1, Bytes{1, 2});
     },
     {{3, false}},
     0,
     true},
    {0x1C00,
     "ResetAction",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).ResetAction(1); },
     {{4, false}},
     0,
     true},
    {0x1C00,
     "ResetAllActions",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).ResetAllActions(); },
     {{5, false}},
     0,
     true},
    {0x1C00,
     "GetActionSource",
     [](IFeature& f) { return as<IFeature1C00PersistentRemappableAction>(f).GetActionSource(1, nullptr); },
     {{6, false}},
     3,
     false},
    {0x1E00,
     "GetEnableHiddenFeatures",
     [](IFeature& f) { return as<IFeature1E00EnableHiddenFeatures>(f).GetEnableHiddenFeatures(nullptr); },
     {{0, false}},
     1,
     false},
    {0x1E00,
     "SetEnableHiddenFeatures",
     [](IFeature& f) { return as<IFeature1E00EnableHiddenFeatures>(f).SetEnableHiddenFeatures(true); },
     {{1, false}},
     0,
     true},
    {0x1F20,
     "GetMeasurement",
     [](IFeature& f) { return as<IFeature1F20ADCMeasurement>(f).GetMeasurement(nullptr); },
     {{0, false}},
     3,
     false},
    {0x1F20,
     "StartMeasurement",
     [](IFeature& f) { return as<IFeature1F20ADCMeasurement>(f).StartMeasurement(1); },
     {{1, false}},
     0,
     false},
    {0x1F20,
     "StopMeasurement",
     [](IFeature& f) { return as<IFeature1F20ADCMeasurement>(f).StopMeasurement(); },
     {{2, false}},
     0,
     false},
    {0x1F20,
     "GetMeasurementConfig",
     [](IFeature& f) { return as<IFeature1F20ADCMeasurement>(f).GetMeasurementConfig(nullptr, nullptr); },
     {{3, false}},
     2,
     false},
    {0x1F20,
     "SetMeasurementConfig",
     [](IFeature& f) { return as<IFeature1F20ADCMeasurement>(f).SetMeasurementConfig(1, 1); },
     {{4, false}},
     0,
     true},
    {0x2005,
     "GetSwapMode",
     [](IFeature& f) { return as<IFeature2005ButtonSwapCancel>(f).GetSwapMode(nullptr); },
     {{0, false}},
     1,
     false},
    {0x2005,
     "SetSwapMode",
     [](IFeature& f) { return as<IFeature2005ButtonSwapCancel>(f).SetSwapMode(true); },
     {{1, false}},
     0,
     true},
    {0x40A2,
     "GetGlobalFnInversion",
     [](IFeature& f) { return as<IFeature40A2FnInversion>(f).GetGlobalFnInversion(nullptr, nullptr); },
     {{0, false}},
     2,
     false},
    {0x40A2,
     "SetGlobalFnInversion",
     [](IFeature& f) { return as<IFeature40A2FnInversion>(f).SetGlobalFnInversion(true); },
     {{1, false}},
     0,
     true},
    {0x4521,
     "GetCapabilities",
     [](IFeature& f) { return as<IFeature4521DisableKeys>(f).GetCapabilities(nullptr); },
     {{0, true}},
     1,
     false},
    {0x4521,
     "SetDisabledKeys",
     [](IFeature& f) { return as<IFeature4521DisableKeys>(f).SetDisabledKeys(1); },
     {{2, false}},
     0,
     true},
    {0x4521,
     "GetDisabledKeys",
     [](IFeature& f) { return as<IFeature4521DisableKeys>(f).GetDisabledKeys(nullptr); },
     {{1, false}},
     1,
     false},
    {0x40A3,
     "GetGlobalFnInversion",
     [](IFeature& f) { return as<IFeature40A3FnInversion>(f).GetGlobalFnInversion(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x40A3,
     "SetGlobalFnInversion",
     [](IFeature& f) { return as<IFeature40A3FnInversion>(f).SetGlobalFnInversion(true); },
     {{1, false}},
     0,
     true},
    {0x4220,
     "GetLockState",
     [](IFeature& f) { return as<IFeature4220LockKeyState>(f).GetLockState(nullptr); },
     {{0, false}},
     1,
     false},
    {0x4522,
     "GetCapabilities",
     [](IFeature& f) { return as<IFeature4522DKU>(f).GetCapabilities(nullptr); },
     {{0, false}},
     1,
     false},
    {0x4522,
     "DisableKeys",
     [](IFeature& f) {
       return as<IFeature4522DKU>(f).DisableKeys({1, 2});
     },
     {{1, false}},
     0,
     true},
    {0x4522,
     "EnableKeys",
     [](IFeature& f) {
       return as<IFeature4522DKU>(f).EnableKeys({1, 2});
     },
     {{2, false}},
     0,
     true},
    {0x4522,
     "EnableAllKeys",
     [](IFeature& f) { return as<IFeature4522DKU>(f).EnableAllKeys(); },
     {{3, false}},
     0,
     true},
    {0x4530,
     "GetPlatform",
     [](IFeature& f) { return as<IFeature4530DualPlatform>(f).GetPlatform(nullptr); },
     {{0, false}},
     1,
     false},
    {0x4530,
     "SetPlatform",
     [](IFeature& f) { return as<IFeature4530DualPlatform>(f).SetPlatform(1); },
     {{1, false}},
     0,
     true},
    {0x4531,
     "GetFeatureInfos",
     [](IFeature& f) { return as<IFeature4531MultiPlatform>(f).GetFeatureInfos(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x4531,
     "GetPlatformDescriptor",
     [](IFeature& f) { return as<IFeature4531MultiPlatform>(f).GetPlatformDescriptor(1, nullptr, nullptr); },
     {{1, false}},
     4,
     false},
    {0x4531,
     "GetHostPlatform",
     [](IFeature& f) { return as<IFeature4531MultiPlatform>(f).GetHostPlatform(1, nullptr, nullptr); },
     {{2, false}},
     3,
     false},
    {0x4531,
     "setHostPlatform",
     [](IFeature& f) { return as<IFeature4531MultiPlatform>(f).setHostPlatform(1, 1); },
     {{3, false}},
     0,
     true},
    {0x4540,
     "GetKeyboardLayout",
     [](IFeature& f) { return as<IFeature4540KBLayout>(f).GetKeyboardLayout(nullptr); },
     {{0, true}},
     1,
     false},
    {0x2110,
     "GetRatchetControlMode",
     [](IFeature& f) { return as<IFeature2110SmartShift>(f).GetRatchetControlMode(nullptr, nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x2110,
     "SetRatchetControlMode",
     [](IFeature& f) { return as<IFeature2110SmartShift>(f).SetRatchetControlMode(1, 1, 1); },
     {{1, false}},
     0,
     true},
    {0x2121,
     "GetWheelCapability",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).GetWheelCapability(nullptr, nullptr, nullptr); },
     {{0, true}},
     2,
     false},
    {0x2121,
     "GetWheelMode",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).GetWheelMode(nullptr, nullptr); },
     {{1, false}},
     0,
     false},
    {0x2121,
     "GetWheelMode",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).GetWheelMode(nullptr, nullptr, nullptr); },
     {{1, false}},
     1,
     false},
    {0x2121,
     "SetWheelMode",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).SetWheelMode(true, true); },
     {{2, false}},
     0,
     true},
    {0x2121,
     "SetWheelMode",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).SetWheelMode(true, true, true); },
     {{2, false}},
     0,
     true},
    {0x2121,
     "GetRatchetSwitchState",
     [](IFeature& f) { return as<IFeature2121HiResWheel>(f).GetRatchetSwitchState(nullptr); },
     {{3, false}},
     1,
     false},
    {0x2130,
     "GetWheelMode",
     [](IFeature& f) { return as<IFeature2130RatchetWheel>(f).GetWheelMode(nullptr); },
     {{0, false}},
     1,
     false},
    {0x2130,
     "SetWheelMode",
     [](IFeature& f) { return as<IFeature2130RatchetWheel>(f).SetWheelMode(1); },
     {{1, false}},
     0,
     true},
    {0x2201,
     "GetSensorCount",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).GetSensorCount(nullptr); },
     {{0, true}},
     1,
     false},
    {0x2201,
     "GetSensorDPIList",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).GetSensorDPIList(1, nullptr); },
     {{1, true}},
     1,
     false},
    {0x2201,
     "GetSensorDPI",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).GetSensorDPI(1, nullptr); },
     {{2, false}},
     3,
     false},
    {0x2201,
     "GetDefaultDPI",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).GetDefaultDPI(1, nullptr); },
     {{2, true}},
     5,
     false},
    {0x2201,
     "SetSensorDPI",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).SetSensorDPI(1, 1); },
     {{3, false}},
     0,
     true},
    {0x2201,
     "IsSupportedDPI",
     [](IFeature& f) { return as<IFeature2201AdjustableDPI>(f).IsSupportedDPI(1, 1, nullptr); },
     {{1, true}},
     0,
     false},
    {0x2205,
     "GetPointerScalingValue",
     [](IFeature& f) { return as<IFeature2205PointerMotionScaling>(f).GetPointerScalingValue(nullptr); },
     {{0, false}},
     2,
     false},
    {0x2205,
     "SetPointerScalingValue",
     [](IFeature& f) { return as<IFeature2205PointerMotionScaling>(f).SetPointerScalingValue(1); },
     {{1, false}},
     0,
     true},
    {0x2230,
     "GetAngleSnapping",
     [](IFeature& f) { return as<IFeature2230AngleSnapping>(f).GetAngleSnapping(nullptr); },
     {{0, false}},
     1,
     false},
    {0x2230,
     "SetAngleSnapping",
     [](IFeature& f) { return as<IFeature2230AngleSnapping>(f).SetAngleSnapping(true); },
     {{1, false}},
     0,
     true},
    {0x2240,
     "GetCapabilities",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).GetCapabilities(nullptr); },
     {{0, false}},
     1,
     false},
    {0x2240,
     "StartShutterCalibration",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).StartShutterCalibration(); },
     {{1, false}},
     0,
     false},
    {0x2240,
     "StartSqualCalibration",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).StartSqualCalibration(); },
     {{2, false}},
     0,
     false},
    {0x2240,
     "GetSurfaceMode",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).GetSurfaceMode(nullptr); },
     {{3, false}},
     1,
     false},
    {0x2240,
     "SetSurfaceMode",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).SetSurfaceMode(1); },
     {{4, false}},
     0,
     true},
    {0x2240,
     "GetLiftThreshold",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).GetLiftThreshold(nullptr); },
     {{5, false}},
     1,
     false},
    {0x2240,
     "SetLiftThreshold",
     [](IFeature& f) { return as<IFeature2240SurfaceTuning>(f).SetLiftThreshold(1); },
     {{6, false}},
     0,
     true},
    {0x2400,
     "IsHybridEngineEnabled",
     [](IFeature& f) { return as<IFeature2400HybridTracking>(f).IsHybridEngineEnabled(nullptr); },
     {{0, false}},
     1,
     false},
    {0x2400,
     "EnableHybridEngine",
     [](IFeature& f) { return as<IFeature2400HybridTracking>(f).EnableHybridEngine(true); },
     {{1, false}},
     0,
     true},
    {0x2400,
     "GetHybridReportingMode",
     [](IFeature& f) { return as<IFeature2400HybridTracking>(f).GetHybridReportingMode(nullptr); },
     {{2, false}},
     1,
     false},
    {0x2400,
     "SetHybridReportingMode",
     [](IFeature& f) { return as<IFeature2400HybridTracking>(f).SetHybridReportingMode(1); },
     {{3, false}},
     0,
     true},
    {0x6010,
     "GetEnabledGestures",
     [](IFeature& f) { return as<IFeature6010Gestures>(f).GetEnabledGestures(nullptr); },
     {{0, false}},
     2,
     false},
    {0x6010,
     "SetEnabledGestures",
     [](IFeature& f) { return as<IFeature6010Gestures>(f).SetEnabledGestures(1); },
     {{1, false}},
     0,
     true},
    {0x6012,
     "IsGestureEnabled",
     [](IFeature& f) { return as<IFeature6012Gestures>(f).IsGestureEnabled(1, nullptr); },
     {{0, false}},
     2,
     false},
    {0x6012,
     "EnableGesture",
     [](IFeature& f) { return as<IFeature6012Gestures>(f).EnableGesture(1, true); },
     {{1, false}},
     0,
     true},
    {0x6100,
     "GetTouchPadInfo",
     [](IFeature& f) { return as<IFeature6100TouchPadRawXY>(f).GetTouchPadInfo(nullptr, nullptr, nullptr); },
     {{0, false}},
     6,
     false},
    {0x6100,
     "EnableRawReporting",
     [](IFeature& f) { return as<IFeature6100TouchPadRawXY>(f).EnableRawReporting(true); },
     {{1, false}, {2, false}},
     0,
     true},
    {0x6100,
     "SetRawReportState",
     [](IFeature& f) { return as<IFeature6100TouchPadRawXY>(f).SetRawReportState(1); },
     {{2, false}},
     0,
     true},
    {0x6500,
     "GetGestureIDInfo",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).GetGestureIDInfo(1, nullptr, nullptr); },
     {{1, true}},
     2,
     false},
    {0x6500,
     "IsEnabled",
     [](IFeature& f) {
       return as<IFeature6500Gestures>(f).IsEnabled(IFeature6500Gestures::GestureId::Scroll, nullptr);
     },
     {{2, false}},
     2,
     false},
    {0x6500,
     "Enable",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).Enable(IFeature6500Gestures::GestureId::Scroll, true); },
     {{3, false}},
     0,
     true},
    {0x6500,
     "ResetGestures",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).ResetGestures(); },
     {{4, false}},
     0,
     true},
    {0x6500,
     "EnableTap",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).EnableTap(true); },
     {{3, false}},
     0,
     true},
    {0x6500,
     "EnableScroll",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).EnableScroll(true); },
     {{3, false}},
     0,
     true},
    {0x6500,
     "EnableSwipe",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).EnableSwipe(true); },
     {{3, false}},
     0,
     true},
    {0x6500,
     "EnableZoom",
     [](IFeature& f) { return as<IFeature6500Gestures>(f).EnableZoom(true); },
     {{3, false}},
     0,
     true},
    {0x6501,
     "GetGestureInfo",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).GetGestureInfo(1, nullptr, nullptr); },
     {{0, true}},
     2,
     false},
    {0x6501,
     "IsEnabled",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).IsEnabled(1, nullptr); },
     {{0, true}, {1, false}},
     0,
     false},
    {0x6501,
     "EnableNow",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).EnableNow(1, true); },
     {{2, false}},
     0,
     true},
    {0x6501,
     "IsDiverted",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).IsDiverted(1, nullptr); },
     {{0, true}, {3, false}},
     0,
     false},
    {0x6501,
     "DivertNow",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).DivertNow(1, true); },
     {{4, false}},
     0,
     true},
    {0x6501,
     "GetSpec",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).GetSpec(1, nullptr); },
     {{5, true}},
     1,
     false},
    {0x6501,
     "ParamDefault",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).ParamDefault(1, nullptr); },
     {{6, true}},
     1,
     false},
    {0x6501,
     "GetParam",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).GetParam(1, nullptr); },
     {{7, false}},
     1,
     false},
    {0x6501,
     "SetParamNow",
     [](IFeature& f) {
       return as<IFeature6501Gestures>(f).SetParamNow(1, Bytes{1, 2});
     },
     {{8, false}},
     0,
     true},
    {0x6501, "Enable", [](IFeature& f) { return as<IFeature6501Gestures>(f).Enable(1, true); }, {{2, false}}, 0, true},
    {0x6501, "Divert", [](IFeature& f) { return as<IFeature6501Gestures>(f).Divert(1, true); }, {{4, false}}, 0, true},
    {0x6501,
     "SetParam",
     [](IFeature& f) {
       return as<IFeature6501Gestures>(f).SetParam(1, Bytes{1, 2});
     },
     {{8, false}},
     0,
     true},
    {0x6501,
     "EnableGestures",
     [](IFeature& f) {
       return as<IFeature6501Gestures>(f).EnableGestures({1, 2}, true);
     },
     {{2, false}, {2, false}},
     0,
     true},
    {0x6501,
     "DivertGestures",
     [](IFeature& f) {
       return as<IFeature6501Gestures>(f).DivertGestures({1, 2}, true);
     },
     {{4, false}, {4, false}},
     0,
     true},
    {0x6501,
     "ResetParam",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).ResetParam(1); },
     {{6, true}, {8, false}},
     0,
     true},
    {0x6501,
     "ResetGesture",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).ResetGesture(1, 1); },
     {{2, false}, {4, false}, {6, true}, {8, false}},
     0,
     true},
    {0x6501,
     "SupportsGesture",
     [](IFeature& f) { return as<IFeature6501Gestures>(f).SupportsGesture(1, 1, nullptr); },
     {{0, true}},
     0,
     false},
    {0x8010, "GetCount", [](IFeature& f) { return as<IFeature8010Gkey>(f).GetCount(nullptr); }, {{0, true}}, 1, false},
    {0x8010,
     "GetPhysicalLayout",
     [](IFeature& f) { return as<IFeature8010Gkey>(f).GetPhysicalLayout(nullptr); },
     {{1, true}},
     1,
     false},
    {0x8010,
     "EnableSoftwareControl",
     [](IFeature& f) { return as<IFeature8010Gkey>(f).EnableSoftwareControl(true); },
     {{2, false}},
     0,
     true},
    {0x8020, "GetCount", [](IFeature& f) { return as<IFeature8020Mkeys>(f).GetCount(nullptr); }, {{0, true}}, 1, false},
    {0x8020, "SetLEDs", [](IFeature& f) { return as<IFeature8020Mkeys>(f).SetLEDs(1); }, {{1, false}}, 0, false},
    {0x8030, "SetLED", [](IFeature& f) { return as<IFeature8030MR>(f).SetLED(true); }, {{0, false}}, 0, false},
    {0x8060,
     "GetReportRateList",
     [](IFeature& f) { return as<IFeature8060ReportRate>(f).GetReportRateList(nullptr); },
     {{0, false}},
     1,
     false},
    {0x8060,
     "GetReportRate",
     [](IFeature& f) { return as<IFeature8060ReportRate>(f).GetReportRate(nullptr); },
     {{1, false}},
     1,
     false},
    {0x8060,
     "SetReportRate",
     [](IFeature& f) { return as<IFeature8060ReportRate>(f).SetReportRate(1); },
     {{2, false}},
     0,
     true},
    {0x8070,
     "GetInfo",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetInfo(nullptr, nullptr); },
     {{0, false}},
     3,
     false},
    {0x8070,
     "GetZoneInfo",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetZoneInfo(1, nullptr, nullptr); },
     {{1, false}},
     4,
     false},
    {0x8070,
     "GetZoneEffectInfo",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetZoneEffectInfo(1, 1, nullptr, nullptr); },
     {{2, false}},
     6,
     false},
    {0x8070,
     "SetZoneEffect",
     [](IFeature& f) {
       return as<IFeature8070ColorLEDEffects>(f).SetZoneEffect(1, Bytes{1, 2});
     },
     {{3, false}},
     0,
     true},
    {0x8070,
     "GetNvConfig",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetNvConfig(nullptr, nullptr); },
     {{4, false}},
     3,
     false},
    {0x8070,
     "SetNvConfig",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).SetNvConfig(1, 1); },
     {{5, false}},
     0,
     true},
    {0x8070,
     "GetZoneEffect",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetZoneEffect(1, nullptr); },
     {{6, false}},
     1,
     false},
    {0x8070,
     "SetEffectSyncCorrection",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).SetEffectSyncCorrection(1); },
     {{7, false}},
     0,
     false},
    {0x8070,
     "ManageSoftwareControl",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).ManageSoftwareControl(true); },
     {{8, false}},
     0,
     false},
    {0x8070,
     "SetEffectByIndex",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).SetEffectByIndex(1, 1); },
     {{9, false}},
     0,
     true},
    {0x8070,
     "GetEffectByIndex",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetEffectByIndex(1, nullptr); },
     {{10, false}},
     2,
     false},
    {0x8070,
     "SetZoneUserEffect",
     [](IFeature& f) {
       return as<IFeature8070ColorLEDEffects>(f).SetZoneUserEffect(1, Bytes{1, 2});
     },
     {{11, false}},
     0,
     true},
    {0x8070,
     "GetZoneUserEffect",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetZoneUserEffect(1, nullptr); },
     {{12, false}},
     1,
     false},
    {0x8070,
     "SetSleepTimeout",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).SetSleepTimeout(1); },
     {{13, false}},
     0,
     true},
    {0x8070,
     "GetSleepTimeout",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).GetSleepTimeout(nullptr); },
     {{14, false}},
     2,
     false},
    {0x8070,
     "SetZoneOff",
     [](IFeature& f) { return as<IFeature8070ColorLEDEffects>(f).SetZoneOff(1); },
     {{3, false}},
     0,
     true},
    {0x8070,
     "SetAllZonesEffect",
     [](IFeature& f) {
       return as<IFeature8070ColorLEDEffects>(f).SetAllZonesEffect(1, Bytes{1, 2});
     },
     {{3, false}},
     0,
     true},
    {0x8080,
     "GetInfo",
     [](IFeature& f) { return as<IFeature8080PerKeyLighting>(f).GetInfo(1, nullptr); },
     {{0, false}},
     1,
     false},
    {0x8080,
     "SetIndividualKeys",
     [](IFeature& f) {
       return as<IFeature8080PerKeyLighting>(f).SetIndividualKeys(Bytes{1, 2});
     },
     {{1, false}},
     0,
     false},
    {0x8080,
     "SetKeyRange",
     [](IFeature& f) { return as<IFeature8080PerKeyLighting>(f).SetKeyRange(1, 1, 1); },
     {{2, false}},
     0,
     false},
    {0x8080,
     "SetKeyColor",
     [](IFeature& f) { return as<IFeature8080PerKeyLighting>(f).SetKeyColor(1, 1); },
     {{2, false}},
     0,
     false},
    {0x8080,
     "SetConsecutiveKeys",
     [](IFeature& f) {
       return as<IFeature8080PerKeyLighting>(f).SetConsecutiveKeys(1, Bytes{1, 2});
     },
     {{3, false}},
     0,
     false},
    {0x8080,
     "SetSameColorKeys",
     [](IFeature& f) {
       return as<IFeature8080PerKeyLighting>(f).SetSameColorKeys(1, Bytes{1, 2});
     },
     {{4, false}},
     0,
     false},
    {0x8080,
     "FrameEnd",
     [](IFeature& f) { return as<IFeature8080PerKeyLighting>(f).FrameEnd(true, 1); },
     {{5, false}},
     0,
     false},
    {0x8080,
     "FrameEnd",
     [](IFeature& f) { return as<IFeature8080PerKeyLighting>(f).FrameEnd(); },
     {{5, false}},
     0,
     false},
    {0x8110,
     "GetButtonCount",
     [](IFeature& f) { return as<IFeature8110MouseButtonSpy>(f).GetButtonCount(nullptr); },
     {{0, false}},
     1,
     false},
    {0x8110,
     "StartSpy",
     [](IFeature& f) { return as<IFeature8110MouseButtonSpy>(f).StartSpy(); },
     {{1, false}},
     0,
     false},
    {0x8110,
     "StopSpy",
     [](IFeature& f) { return as<IFeature8110MouseButtonSpy>(f).StopSpy(); },
     {{2, false}},
     0,
     false},
    {0x8110,
     "GetRemapping",
     [](IFeature& f) { return as<IFeature8110MouseButtonSpy>(f).GetRemapping(nullptr); },
     {{3, false}},
     0,
     false},
    {0x8110,
     "SetRemapping",
     [](IFeature& f) {
       return as<IFeature8110MouseButtonSpy>(f).SetRemapping(Bytes{1, 2});
     },
     {{4, false}},
     0,
     true},
    {0x8120,
     "GetCapabilities",
     [](IFeature& f) { return as<IFeature8120GamingAttachments>(f).GetCapabilities(nullptr); },
     {{0, false}},
     1,
     false},
    {0x8120,
     "GetAttachments",
     [](IFeature& f) { return as<IFeature8120GamingAttachments>(f).GetAttachments(nullptr); },
     {{1, false}},
     1,
     false},
    {0x8120,
     "SetAttachmentReporting",
     [](IFeature& f) { return as<IFeature8120GamingAttachments>(f).SetAttachmentReporting(true); },
     {{2, false}},
     0,
     false},
    {0x8123,
     "GetInfo",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).GetInfo(nullptr, nullptr); },
     {{0, false}},
     2,
     false},
    {0x8123,
     "ResetAll",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).ResetAll(); },
     {{1, false}},
     0,
     false},
    {0x8123,
     "DownloadEffect",
     [](IFeature& f) {
       return as<IFeature8123ForceFeedback>(f).DownloadEffect(Bytes{1, 2}, nullptr);
     },
     {{2, false}},
     1,
     false},
    {0x8123,
     "DownloadConstantForce",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).DownloadConstantForce(1, 1, nullptr); },
     {{2, false}},
     0,
     false},
    {0x8123,
     "DownloadPeriodic",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).DownloadPeriodic(1, 1, 1, 1, nullptr); },
     {{2, false}},
     0,
     false},
    {0x8123,
     "DownloadSpring",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).DownloadSpring(1, nullptr); },
     {{2, false}},
     0,
     false},
    {0x8123,
     "SetEffectState",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).SetEffectState(1, 1); },
     {{3, false}},
     0,
     false},
    {0x8123,
     "GetEffect",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).GetEffect(1, nullptr); },
     {{4, false}},
     1,
     false},
    {0x8123,
     "SetGlobalGain",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).SetGlobalGain(1); },
     {{5, false}},
     0,
     true},
    {0x8123,
     "GetGlobalGain",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).GetGlobalGain(nullptr); },
     {{6, false}},
     2,
     false},
    {0x8123,
     "SetAperture",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).SetAperture(1); },
     {{7, false}},
     0,
     true},
    {0x8123,
     "GetAperture",
     [](IFeature& f) { return as<IFeature8123ForceFeedback>(f).GetAperture(nullptr); },
     {{8, false}},
     2,
     false},
    {0x8300,
     "getSidetoneLevel",
     [](IFeature& f) { return as<IFeature8300Sidetone>(f).getSidetoneLevel(nullptr); },
     {{0, false}},
     1,
     false},
    {0x8300,
     "setSidetoneLevel",
     [](IFeature& f) { return as<IFeature8300Sidetone>(f).setSidetoneLevel(1); },
     {{1, false}},
     0,
     true},
    {0x8310,
     "getEQInfo",
     [](IFeature& f) { return as<IFeature8310Equalizer>(f).getEQInfo(nullptr, nullptr); },
     {{0, true}},
     2,
     false},
    {0x8310,
     "getFrequencies",
     [](IFeature& f) { return as<IFeature8310Equalizer>(f).getFrequencies(nullptr); },
     {{1, true}},
     2,
     false},
    {0x8310,
     "getEQSettings",
     [](IFeature& f) { return as<IFeature8310Equalizer>(f).getEQSettings(nullptr); },
     {{2, false}},
     1,
     false},
    {0x8310,
     "setEQSettings",
     [](IFeature& f) {
       return as<IFeature8310Equalizer>(f).setEQSettings({1, 2});
     },
     {{3, false}},
     0,
     true},
    {0x1F1F,
     "GetCount",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).GetCount(nullptr); },
     {{0, false}},
     1,
     false},
    {0x1F1F,
     "GetPropertyInfo",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).GetPropertyInfo(1, nullptr, nullptr, nullptr); },
     {{1, false}},
     4,
     false},
    {0x1F1F,
     "SelectProperty",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).SelectProperty(1, 1); },
     {{2, false}},
     0,
     false},
    {0x1F1F,
     "ReadProperty",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).ReadProperty(nullptr); },
     {{3, false}},
     0,
     false},
    {0x1F1F,
     "WriteProperty",
     [](IFeature& f) {
       return as<IFeature1F1FFirmwareProperties>(f).WriteProperty(Bytes{1, 2});
     },
     {{4, false}},
     0,
     true},
    {0x1F1F,
     "ClearProperty",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).ClearProperty(1); },
     {{5, false}},
     0,
     true},
    {0x1F1F,
     "GetPropertyState",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).GetPropertyState(1, nullptr); },
     {{6, false}},
     2,
     false},
    {0x1F1F,
     "LoadProperties",
     [](IFeature& f) { return as<IFeature1F1FFirmwareProperties>(f).LoadProperties(); },
     {{0, false}, {1, false}, {1, false}, {1, false}},
     4,
     false},
};

std::vector<OperationCase> operationsWhere(const std::function<bool(const OperationCase&)>& keep) {
  std::vector<OperationCase> kept;
  std::copy_if(Operations.begin(), Operations.end(), std::back_inserter(kept), keep);
  return kept;
}

std::string operationName(const testing::TestParamInfo<OperationCase>& info) {
  char id[8];
  std::snprintf(id, sizeof id, "%04X", info.param.id);
  return std::string(id) + "_" + info.param.name + "_" + std::to_string(info.index);
}

class CatalogueOperations : public testing::TestWithParam<OperationCase> {
 protected:
  std::shared_ptr<AnsweringDevice> device = std::make_shared<AnsweringDevice>();
  std::shared_ptr<IFeature> feature = createFeature(GetParam().id, Index, device);
};

TEST_P(CatalogueOperations, SendsItsFunctionsWithTheirCacheableFlag) {
  EXPECT_TRUE(GetParam().call(*feature)) << LastError::get().code;
  EXPECT_EQ(device->functions, GetParam().functions);
  for (const Bytes& request : device->requests) EXPECT_EQ(request[2], Index);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueOperations, testing::ValuesIn(Operations), operationName);

// A short report carries 3 payload bytes: too few for these operations.
class CatalogueShortAnswers : public CatalogueOperations {};

TEST_P(CatalogueShortAnswers, FailWithCommandResponseTooShort) {
  device->payload = Bytes(3, 0x03);
  EXPECT_FALSE(GetParam().call(*feature));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueShortAnswers,
                         testing::ValuesIn(operationsWhere([](const auto& c) { return c.minimum > 3; })),
                         operationName);

class CatalogueSettings : public CatalogueOperations {};

TEST_P(CatalogueSettings, RefuseWithoutOwningTheConfiguration) {
  device->acceptConfigured = false;  // refused as for a device that is away
  const bool ok = GetParam().call(*feature);
  EXPECT_TRUE(device->requests.empty());
  EXPECT_EQ(ok, feature->is_pending()) << "refused, or queued by a member that keeps pending changes";
  EXPECT_FALSE(device->configuredCalls.empty());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueSettings,
                         testing::ValuesIn(operationsWhere([](const auto& c) { return c.setting; })), operationName);

// ---- pending changes

struct PendingCase {
  unsigned id;
  const char* name;
  std::function<bool(IFeature&, int value)> set;
  int function;
  std::function<Bytes(int value)> params;
};

void PrintTo(const PendingCase& c, std::ostream* os) { *os << c.name; }

class CataloguePendingChanges : public testing::TestWithParam<PendingCase> {
 protected:
  bool set(int value) { return GetParam().set(*feature, value); }
  bool replay() { return std::dynamic_pointer_cast<Feature>(feature)->process_pending_changes(true); }
  // The requests since the last call, as (function, leading parameter bytes) for comparison.
  std::vector<Bytes> sent() {
    std::vector<Bytes> sent;
    for (const Bytes& r : device->requests) {
      Bytes entry{static_cast<Byte>(r[3] >> 4)};
      entry.insert(entry.end(), r.begin() + 4, r.begin() + 4 + GetParam().params(0).size());
      sent.push_back(entry);
    }
    device->requests.clear();
    return sent;
  }
  Bytes expected(int value) {
    Bytes entry{static_cast<Byte>(GetParam().function)};
    const Bytes params = GetParam().params(value);
    entry.insert(entry.end(), params.begin(), params.end());
    return entry;
  }
  void away() {
    device->refuse = [](const Bytes&) { return true; };
  }
  void back() {
    device->refuse = [](const Bytes&) { return false; };
  }

  std::shared_ptr<AnsweringDevice> device = std::make_shared<AnsweringDevice>();
  std::shared_ptr<IFeature> feature = createFeature(GetParam().id, Index, device);
};

TEST_P(CataloguePendingChanges, QueuedWhileAwayAndReplayedInOrder) {
  away();
  EXPECT_TRUE(set(1));
  EXPECT_EQ(LastError::get().code, Success);
  EXPECT_TRUE(set(2));
  EXPECT_TRUE(feature->is_pending());
  EXPECT_EQ(device->pendingCalls.size(), 1u);
  EXPECT_EQ(sent(), (std::vector<Bytes>{expected(1), expected(2)}));

  back();
  EXPECT_TRUE(replay());
  EXPECT_EQ(sent(), (std::vector<Bytes>{expected(1), expected(2)}));
  EXPECT_TRUE(replay());
  EXPECT_TRUE(sent().empty()) << "a full replay empties the list";
}

TEST_P(CataloguePendingChanges, FailedReplayKeepsTheWholeList) {
  away();
  ASSERT_TRUE(set(1));
  ASSERT_TRUE(set(2));
  sent();
  const Bytes second = GetParam().params(2);
  device->refuse = [second](const Bytes& r) { return std::equal(second.begin(), second.end(), r.begin() + 4); };
  EXPECT_FALSE(replay());
  EXPECT_EQ(sent(), (std::vector<Bytes>{expected(1), expected(2)}));

  back();
  EXPECT_TRUE(replay());
  EXPECT_EQ(sent(), (std::vector<Bytes>{expected(1), expected(2)}));
}

TEST_P(CataloguePendingChanges, RefusedQueueingFailsAndKeepsNothing) {
  away();
  device->acceptPending = false;
  EXPECT_FALSE(set(1));
  back();
  EXPECT_TRUE(replay());
  EXPECT_EQ(sent(), std::vector<Bytes>{expected(1)}) << "only the failed immediate request";
}

TEST_P(CataloguePendingChanges, QueueingDuringItsOwnReplayFails) {
  away();
  std::dynamic_pointer_cast<Feature>(feature)->set_replaying(true);
  EXPECT_FALSE(set(1));
  EXPECT_EQ(LastError::get().code, PendingDuringReplay);
}

TEST_P(CataloguePendingChanges, OtherFailuresAreNotQueued) {
  device->failure = NoResponse;
  away();
  EXPECT_FALSE(set(1));
  EXPECT_EQ(LastError::get().code, NoResponse);
  EXPECT_TRUE(device->pendingCalls.empty());
}

Bytes reporting(int value) { return {0x00, static_cast<Byte>(0x50 + value), 0x01, 0x00, static_cast<Byte>(value)}; }
Bytes flag(int value) { return {static_cast<Byte>(value == 1)}; }

INSTANTIATE_TEST_SUITE_P(
    Catalogue, CataloguePendingChanges,
    testing::Values(
        PendingCase{
            0x1B03, "SpecialKeys1B03",
            [](IFeature& f, int v) { return as<IFeature1B03SpecialKeys>(f).SetCtrlIdReporting(0x50 + v, 1, v); }, 5,
            reporting},
        PendingCase{
            0x1B04, "SpecialKeys1B04",
            [](IFeature& f, int v) { return as<IFeature1B04SpecialKeys>(f).SetCtrlIdReporting(0x50 + v, 1, v); }, 3,
            reporting},
        PendingCase{0x2005, "ButtonSwapCancel2005",
                    [](IFeature& f, int v) { return as<IFeature2005ButtonSwapCancel>(f).SetSwapMode(v == 1); }, 1,
                    flag},
        PendingCase{0x40A2, "FnInversion40A2",
                    [](IFeature& f, int v) { return as<IFeature40A2FnInversion>(f).SetGlobalFnInversion(v == 1); }, 1,
                    flag},
        PendingCase{0x4521, "DisableKeys4521",
                    [](IFeature& f, int v) { return as<IFeature4521DisableKeys>(f).SetDisabledKeys(v); }, 2,
                    [](int v) { return Bytes{static_cast<Byte>(v)}; }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- notifications and other applications' changes

struct EventCase {
  unsigned id;
  int function;
  unsigned swid;  // 0: a notification of the device, else an unexpected response of that program
  Bytes payload;
  std::size_t minimum;  // a payload one byte shorter fires nothing
  std::vector<std::string> fired;
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << std::hex << c.id << " function " << c.function; }

class CatalogueEvents : public testing::TestWithParam<EventCase> {
 protected:
  std::vector<std::string> deliver(const Bytes& payload) {
    auto device = std::make_shared<AnsweringDevice>();
    auto feature = createFeature(GetParam().id, Index, device);
    auto recorder = recordEvents(GetParam().id, feature);
    auto base = std::dynamic_pointer_cast<Feature>(feature);
    if (GetParam().swid == 0)
      base->deliverFeatureReport(GetParam().function, payload);
    else
      base->deliverUnexpectedResponse(GetParam().function, GetParam().swid, payload);
    return recorder->calls;
  }
};

TEST_P(CatalogueEvents, DecodeThePayload) { EXPECT_EQ(deliver(GetParam().payload), GetParam().fired); }

TEST_P(CatalogueEvents, DropAPayloadBelowTheMinimum) {
  if (GetParam().minimum == 0 || GetParam().fired.empty()) return;
  EXPECT_TRUE(deliver(Bytes(GetParam().payload.begin(), GetParam().payload.begin() + GetParam().minimum - 1)).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Notifications, CatalogueEvents,
    testing::Values(EventCase{0x1000, 0, 0, {1, 2, 3}, 3, {"onBatteryLevelStatus(1,2,3)"}},
                    EventCase{0x1001, 0, 0, {0x0E, 0x10, 0x80}, 3, {"OnBatteryInfoChange({3600,128})"}},
                    EventCase{0x1800, 5, 0, {}, 0, {"onTestResponse(5,[])"}},
                    EventCase{0x1981, 0, 0, {10, 3, 1}, 3, {"onBacklightChangeEvent(10,3,1)"}},
                    EventCase{0x1B00, 0, 0, {0, 0x52, 0, 0x53, 0, 0, 0, 0}, 8, {"onKeyChange([82,83,0,0])"}},
                    EventCase{0x1B03, 0, 0, {0, 0x52, 0, 0x53, 0, 0, 0, 0}, 8, {"onKeyChange([82,83,0,0])"}},
                    EventCase{0x1B04, 1, 0, {0xFF, 0xFE, 0, 5, 0, 0, 0, 0}, 8, {"onRawXY(-2,5)"}},
                    EventCase{0x1BC0, 0, 0, {0, 7, 0, 4, 1}, 5, {"OnUsageEvent({7,4,1})"}},
                    EventCase{0x1D4B, 0, 0, {1, 1, 0}, 3, {"onWirelessStatusEvent(1,1,0)"}},
                    EventCase{0x1F1F, 0, 0, {3}, 1, {"onPropertyChanged(3)"}},
                    EventCase{0x1F20, 0, 0, {0x0C, 0x80, 1}, 3, {"onStatusChange({3200,1})"}},
                    EventCase{0x2121, 0, 0, {0x13, 0xFF, 0xFE, 0, 1}, 5, {"onWheelMovement(1,3,-2,1)"}},
                    EventCase{0x2121, 1, 0, {1}, 1, {"onRatchetSwitch(1)"}},
                    EventCase{0x2130, 0, 0, {0, 5, 0xFF, 0xFB}, 4, {"onWheelMovement(5,-5)"}},
                    EventCase{0x2240, 0, 0, {1, 0x22}, 2, {"onShutterCalibrationDone(1,34)"}},
                    EventCase{0x2240, 1, 0, {1, 0x10, 0x20}, 3, {"onSqualCalibrationDone(1,16,32)"}},
                    EventCase{0x2400, 0, 0, {0xAA}, 1, {"onHybridRawData([170])"}},
                    EventCase{0x2400, 1, 0, {1, 0, 0, 2}, 4, {"onHybridStateChange({256,2})"}},
                    EventCase{0x40A3, 0, 0, {1, 1, 0, 2}, 4, {"onFLockChange(1,1,0,2)"}},
                    EventCase{0x4220, 0, 0, {2}, 1, {"onLockKeyChange(2)"}},
                    EventCase{0x4530, 0, 0, {1}, 1, {"onPlatformChangeEvent(1)"}},
                    EventCase{0x4531, 0, 0, {1, 2, 3}, 3, {"onPlatformChangeEvent(1,2,3)"}},
                    EventCase{0x6100, 0, 0, {0, 1, 0, 2, 0, 3, 0, 4, 2}, 9, {"onDualXYData({1,2,3,4,2})"}},
                    EventCase{0x6500, 0, 0, {0, 1}, 2, {"OnGestureTapEvent(0,1)"}},
                    EventCase{0x6500, 0, 0, {1, 0, 0, 5, 0xFF, 0xFF, 0, 2}, 8, {"OnGestureScrollEvent(1,0,5,-1,2)"}},
                    EventCase{0x6500, 0, 0, {2, 2, 0, 1, 0, 2, 0, 3}, 8, {"OnGestureSwipeEvent(2,2,1,2,3)"}},
                    EventCase{0x6500, 0, 0, {3, 1, 0, 1, 0, 2, 0, 3, 0, 2}, 10, {"OnGestureZoomEvent(3,1,1,2,3,2)"}},
                    EventCase{
                        0x6500, 0, 0, {4, 1, 0, 1, 0, 2, 0, 0x5A, 0, 1}, 10, {"OnGestureRotateEvent(4,1,1,2,90,1)"}},
                    EventCase{0x6501, 0, 0, {7, 0}, 2, {"OnGesture(7,[])"}},
                    EventCase{0x6501, 0, 0, {7, 1, 0, 3, 0xFF, 0xFD}, 6, {"OnGestureDxDy(7,3,-3)"}},
                    EventCase{0x6501, 0, 0, {7, 2, 0, 1, 0, 2}, 6, {"OnGestureFingerStart(7,1,2)"}},
                    EventCase{0x6501, 0, 0, {7, 3, 0, 1, 0, 2}, 6, {"OnGestureFingerProgress(7,1,2)"}},
                    EventCase{0x6501, 0, 0, {7, 4, 0, 1, 0, 2}, 6, {"OnGestureTriggerXY(7,1,2)"}},
                    EventCase{0x6501, 0, 0, {7, 9}, 2, {"OnGestureUnknown(9,[7,9])"}},
                    EventCase{0x8010, 0, 0, {5}, 1, {"onButtonReport([5])"}},
                    EventCase{0x8020, 0, 0, {3}, 1, {"onButtonReport(3)"}},
                    EventCase{0x8030, 0, 0, {1}, 1, {"onButtonReport(1)"}},
                    EventCase{0x8070, 0, 0, {9}, 1, {"onSyncReport([9])"}},
                    EventCase{0x8110, 0, 0, {1, 2}, 2, {"onButtonReport(258)"}},
                    EventCase{0x8111, 0, 0, {2, 1, 0xF4}, 3, {"onLatencyEvent({2,500})"}},
                    EventCase{0x8120, 0, 0, {2, 1, 3}, 1, {"onAttachmentChanged([1,3])"}},
                    EventCase{0x8123, 0, 0, {1, 0, 3}, 1, {"onExpiredForces([1,3])"}}));

INSTANTIATE_TEST_SUITE_P(OtherApplications, CatalogueEvents,
                         testing::Values(EventCase{0x1B03, 5, 0x0B, {0, 0x52, 1}, 3, {"OnKeyDiverted(11,82,1)"}},
                                         EventCase{
                                             0x1B04, 3, 0x0B, {0, 0x52, 3, 0, 0}, 3, {"OnKeyDiverted(11,82,1,1,0)"}},
                                         EventCase{0x1B04, 3, 0x0B, {0, 0x52, 1}, 3, {"OnKeyDiverted(11,82,0,1,0)"}},
                                         EventCase{0x1B04, 2, 0x0B, {0, 0x52, 1}, 0, {}},
                                         EventCase{0x2005, 1, 0x0B, {1}, 1, {"onSettingChange(11,1)"}},
                                         EventCase{0x2005, 0, 0x0B, {1}, 0, {}},
                                         EventCase{0x2121, 2, 0x0B, {5}, 1, {"onSettingChange(11,1,0,1,0,0)"}},
                                         EventCase{0x40A2, 1, 0x0B, {1}, 1, {"onSettingChange(11,1)"}},
                                         EventCase{0x4521, 2, 0x0B, {5}, 1, {"onSettingChange(11,1,0,1,0,0)"}},
                                         EventCase{0x6100, 2, 0x0B, {1}, 1, {"onModeChanged(1)"}},
                                         EventCase{0x6501, 2, 0x0B, {4, 1}, 2, {"OnGestureEnabled(11,4,1)"}},
                                         EventCase{0x6501, 4, 0x0B, {4, 0}, 2, {"OnGestureDiverted(11,4,0)"}},
                                         EventCase{0x6501, 8, 0x0B, {2, 10}, 1, {"OnParamChange(11,2,[10])"}}));

// ---- 0x1B04, the member told in full

class SpecialKeys1B04 : public testing::Test {
 protected:
  std::vector<std::string> notify(int function, const Bytes& payload) {
    auto recorder = recordEvents(0x1B04, feature);
    base().deliverFeatureReport(function, payload);
    return recorder->calls;
  }
  Feature1B04SpecialKeys& base() { return dynamic_cast<Feature1B04SpecialKeys&>(*feature); }

  std::shared_ptr<AnsweringDevice> device = std::make_shared<AnsweringDevice>();
  std::shared_ptr<IFeature> feature = createFeature(0x1B04, Index, device);
};

TEST_F(SpecialKeys1B04, KeyNotificationFiresTheFourControlIds) {
  EXPECT_EQ(notify(0, {0x00, 0x52, 0x00, 0x53, 0x00, 0x00, 0x00, 0x00}),
            std::vector<std::string>{"onKeyChange([82,83,0,0])"});
  EXPECT_TRUE(notify(0, {0x00, 0x52, 0x00, 0x53, 0x00, 0x00, 0x00}).empty());
}

TEST_F(SpecialKeys1B04, RawMovementIsSigned) {
  EXPECT_EQ(notify(1, {0xFF, 0xFE, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
            std::vector<std::string>{"onRawXY(-2,5)"});
}

TEST_F(SpecialKeys1B04, ReportingChangeWhileAwayIsKeptAndReplayed) {
  device->refuse = [](const Bytes&) { return true; };
  EXPECT_TRUE(base().SetCtrlIdReporting(0x52, 0x03, 0x0053));
  EXPECT_EQ(LastError::get().code, Success);
  ASSERT_EQ(base().pendingChanges().size(), 1u);

  device->refuse = [](const Bytes&) { return false; };
  device->requests.clear();
  EXPECT_TRUE(base().process_pending_changes(true));
  ASSERT_EQ(device->requests.size(), 1u);
  const Bytes& request = device->requests[0];
  EXPECT_EQ(Bytes(request.begin() + 1, request.begin() + 9), (Bytes{0xFF, Index, 0x3F, 0x00, 0x52, 0x03, 0x00, 0x53}));
  EXPECT_TRUE(base().pendingChanges().empty());
}

TEST_F(SpecialKeys1B04, AnotherApplicationsDiversionIsReported) {
  auto recorder = recordEvents(0x1B04, feature);
  base().deliverUnexpectedResponse(3, 0x0B, {0x00, 0x52, 0x03, 0x00, 0x00});
  EXPECT_EQ(recorder->calls, std::vector<std::string>{"OnKeyDiverted(11,82,1,1,0)"});
}

// ---- value lists

// The whole answer (a long report's 16 bytes) is a list of big-endian frequencies.
TEST(CatalogueValueLists, EqualizerFrequenciesAreBigEndianPairs) {
  auto device = std::make_shared<AnsweringDevice>();
  device->payload = {0x00, 0x20, 0x00, 0x40, 0x00, 0x7D, 0x00, 0xFA, 0x01, 0xF4, 0x03, 0xE8, 0x1F, 0x40, 0x3E, 0x80};
  auto feature = createFeature(0x8310, Index, device);
  std::vector<int> frequencies;
  ASSERT_TRUE(as<IFeature8310Equalizer>(*feature).getFrequencies(&frequencies));
  EXPECT_EQ(frequencies, (std::vector<int>{32, 64, 125, 250, 500, 1000, 8000, 16000}));
}

}  // namespace
}  // namespace devio
