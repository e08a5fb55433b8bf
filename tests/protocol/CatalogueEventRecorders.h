#pragma once

// Recorders of every event of the catalogue's members, for the notification tables: each
// subscribes directly to all event classes of one member and logs "handler(arguments)".

#include <memory>
#include <vector>

#include "devio/features/IFeature1000BatteryUnifiedLevelStatus.h"
#include "devio/features/IFeature1001BatteryVoltage.h"
#include "devio/features/IFeature1800GenericTest.h"
#include "devio/features/IFeature1814ChangeHost.h"
#include "devio/features/IFeature1981KeyboardBacklight.h"
#include "devio/features/IFeature1B00SpecialKeys.h"
#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/features/IFeature1B04SpecialKeys.h"
#include "devio/features/IFeature1BC0ReportHIDUsages.h"
#include "devio/features/IFeature1D4BWirelessStatus.h"
#include "devio/features/IFeature1F1FFirmwareProperties.h"
#include "devio/features/IFeature1F20ADCMeasurement.h"
#include "devio/features/IFeature2005ButtonSwapCancel.h"
#include "devio/features/IFeature2121HiResWheel.h"
#include "devio/features/IFeature2130RatchetWheel.h"
#include "devio/features/IFeature2240SurfaceTuning.h"
#include "devio/features/IFeature2400HybridTracking.h"
#include "devio/features/IFeature40A2FnInversion.h"
#include "devio/features/IFeature40A3FnInversion.h"
#include "devio/features/IFeature4220LockKeyState.h"
#include "devio/features/IFeature4521DisableKeys.h"
#include "devio/features/IFeature4530DualPlatform.h"
#include "devio/features/IFeature4531MultiPlatform.h"
#include "devio/features/IFeature6010Gestures.h"
#include "devio/features/IFeature6012Gestures.h"
#include "devio/features/IFeature6100TouchPadRawXY.h"
#include "devio/features/IFeature6500Gestures.h"
#include "devio/features/IFeature6501Gestures.h"
#include "devio/features/IFeature8010Gkey.h"
#include "devio/features/IFeature8020Mkeys.h"
#include "devio/features/IFeature8030MR.h"
#include "devio/features/IFeature8070ColorLEDEffects.h"
#include "devio/features/IFeature8110MouseButtonSpy.h"
#include "devio/features/IFeature8111LatencyMonitoring.h"
#include "devio/features/IFeature8120GamingAttachments.h"
#include "devio/features/IFeature8123ForceFeedback.h"
#include "devio/runtime/Subscriber.h"
#include "tests/protocol/EventLog.h"

namespace devio {

class Record1000 final : public EventLog, public Subscriber<IFeature1000BatteryUnifiedLevelStatus::Report> {
 public:
  explicit Record1000(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1000BatteryUnifiedLevelStatus::Report>::subscribe(feature, Direct);
  }
  void onBatteryLevelStatus(short level, short nextLevel, short status) override {
    add("onBatteryLevelStatus", level, nextLevel, status);
  }
};

class Record1001 final : public EventLog, public Subscriber<IFeature1001BatteryVoltage::Report> {
 public:
  explicit Record1001(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1001BatteryVoltage::Report>::subscribe(feature, Direct);
  }
  void OnBatteryInfoChange(const IFeature1001BatteryVoltage::BatteryInfo& info) override {
    add("OnBatteryInfoChange", info);
  }
};

class Record1800 final : public EventLog, public Subscriber<IFeature1800GenericTest::GenericResponse> {
 public:
  explicit Record1800(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1800GenericTest::GenericResponse>::subscribe(feature, Direct);
  }
  void onTestResponse(int function, const std::vector<Byte>& payload) override {
    add("onTestResponse", function, payload);
  }
};

class Record1814 final : public EventLog, public Subscriber<IFeature1814ChangeHost::CookieChange> {
 public:
  explicit Record1814(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1814ChangeHost::CookieChange>::subscribe(feature, Direct);
  }
  void onCookieChange(std::shared_ptr<IDevice> device, short host, short cookie) override {
    add("onCookieChange", device, host, cookie);
  }
};

class Record1981 final : public EventLog, public Subscriber<IFeature1981KeyboardBacklight::Report> {
 public:
  explicit Record1981(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1981KeyboardBacklight::Report>::subscribe(feature, Direct);
  }
  void onBacklightChangeEvent(short level, short duration, short status) override {
    add("onBacklightChangeEvent", level, duration, status);
  }
};

class Record1B00 final : public EventLog, public Subscriber<IFeature1B00SpecialKeys::KeyReport> {
 public:
  explicit Record1B00(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1B00SpecialKeys::KeyReport>::subscribe(feature, Direct);
  }
  void onKeyChange(const std::vector<unsigned>& controls) override { add("onKeyChange", controls); }
};

class Record1B03 final : public EventLog, public Subscriber<IFeature1B03SpecialKeys::KeyReport> {
 public:
  explicit Record1B03(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1B03SpecialKeys::KeyReport>::subscribe(feature, Direct);
  }
  void onKeyChange(const std::vector<unsigned>& controls) override { add("onKeyChange", controls); }
  void OnKeyDiverted(unsigned swid, unsigned control, bool diverted) override {
    add("OnKeyDiverted", swid, control, diverted);
  }
};

class Record1B04 final : public EventLog,
                         public Subscriber<IFeature1B04SpecialKeys::KeyReport>,
                         public Subscriber<IFeature1B04SpecialKeys::RawXYReport> {
 public:
  explicit Record1B04(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1B04SpecialKeys::KeyReport>::subscribe(feature, Direct);
    Subscriber<IFeature1B04SpecialKeys::RawXYReport>::subscribe(feature, Direct);
  }
  void onKeyChange(const std::vector<unsigned>& controls) override { add("onKeyChange", controls); }
  void OnKeyDiverted(unsigned swid, unsigned control, bool persistent, bool diverted, unsigned remap) override {
    add("OnKeyDiverted", swid, control, persistent, diverted, remap);
  }
  void onRawXY(int dx, int dy) override { add("onRawXY", dx, dy); }
};

class Record1BC0 final : public EventLog, public Subscriber<IFeature1BC0ReportHIDUsages::Report> {
 public:
  explicit Record1BC0(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1BC0ReportHIDUsages::Report>::subscribe(feature, Direct);
  }
  void OnUsageEvent(const IFeature1BC0ReportHIDUsages::UsagePackage& usage) override { add("OnUsageEvent", usage); }
};

class Record1D4B final : public EventLog, public Subscriber<IFeature1D4BWirelessStatus::Report> {
 public:
  explicit Record1D4B(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1D4BWirelessStatus::Report>::subscribe(feature, Direct);
  }
  void onWirelessStatusEvent(bool reconnect, bool config_needed, bool powerswitch) override {
    add("onWirelessStatusEvent", reconnect, config_needed, powerswitch);
  }
};

class Record1F20 final : public EventLog, public Subscriber<IFeature1F20ADCMeasurement::Report> {
 public:
  explicit Record1F20(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1F20ADCMeasurement::Report>::subscribe(feature, Direct);
  }
  void onStatusChange(const IFeature1F20ADCMeasurement::DeviceState& state) override { add("onStatusChange", state); }
};

class Record2005 final : public EventLog, public Subscriber<IFeature2005ButtonSwapCancel::SettingChange> {
 public:
  explicit Record2005(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature2005ButtonSwapCancel::SettingChange>::subscribe(feature, Direct);
  }
  void onSettingChange(unsigned swid, bool cancelled) override { add("onSettingChange", swid, cancelled); }
};

class Record40A2 final : public EventLog, public Subscriber<IFeature40A2FnInversion::SettingChange> {
 public:
  explicit Record40A2(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature40A2FnInversion::SettingChange>::subscribe(feature, Direct);
  }
  void onSettingChange(unsigned swid, bool inverted) override { add("onSettingChange", swid, inverted); }
};

class Record4521 final : public EventLog, public Subscriber<IFeature4521DisableKeys::SettingChange> {
 public:
  explicit Record4521(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature4521DisableKeys::SettingChange>::subscribe(feature, Direct);
  }
  void onSettingChange(unsigned swid, bool capsLock, bool numLock, bool scrollLock, bool insert,
                       bool windows) override {
    add("onSettingChange", swid, capsLock, numLock, scrollLock, insert, windows);
  }
};

class Record40A3 final : public EventLog, public Subscriber<IFeature40A3FnInversion::Report> {
 public:
  explicit Record40A3(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature40A3FnInversion::Report>::subscribe(feature, Direct);
  }
  void onFLockChange(short host, bool inverted, bool locked, int source) override {
    add("onFLockChange", host, inverted, locked, source);
  }
};

class Record4220 final : public EventLog, public Subscriber<IFeature4220LockKeyState::Report> {
 public:
  explicit Record4220(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature4220LockKeyState::Report>::subscribe(feature, Direct);
  }
  void onLockKeyChange(short state) override { add("onLockKeyChange", state); }
};

class Record4530 final : public EventLog, public Subscriber<IFeature4530DualPlatform::Report> {
 public:
  explicit Record4530(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature4530DualPlatform::Report>::subscribe(feature, Direct);
  }
  void onPlatformChangeEvent(short platform) override { add("onPlatformChangeEvent", platform); }
};

class Record4531 final : public EventLog, public Subscriber<IFeature4531MultiPlatform::Report> {
 public:
  explicit Record4531(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature4531MultiPlatform::Report>::subscribe(feature, Direct);
  }
  void onPlatformChangeEvent(short host, short platform, short source) override {
    add("onPlatformChangeEvent", host, platform, source);
  }
};

class Record2121 final : public EventLog,
                         public Subscriber<IFeature2121HiResWheel::Report>,
                         public Subscriber<IFeature2121HiResWheel::SettingChange>,
                         public Subscriber<IFeature2121HiResWheel::RatchetSwitch> {
 public:
  explicit Record2121(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature2121HiResWheel::Report>::subscribe(feature, Direct);
    Subscriber<IFeature2121HiResWheel::SettingChange>::subscribe(feature, Direct);
    Subscriber<IFeature2121HiResWheel::RatchetSwitch>::subscribe(feature, Direct);
  }
  void onWheelMovement(bool hiRes, unsigned periods, int dy, int dx) override {
    add("onWheelMovement", hiRes, periods, dy, dx);
  }
  void onSettingChange(unsigned swid, bool target, bool hiRes, bool inverted, unsigned multiplier,
                       unsigned flags) override {
    add("onSettingChange", swid, target, hiRes, inverted, multiplier, flags);
  }
  void onRatchetSwitch(bool ratchet) override { add("onRatchetSwitch", ratchet); }
};

class Record2130 final : public EventLog, public Subscriber<IFeature2130RatchetWheel::Report> {
 public:
  explicit Record2130(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature2130RatchetWheel::Report>::subscribe(feature, Direct);
  }
  void onWheelMovement(int dy, int dx) override { add("onWheelMovement", dy, dx); }
};

class Record2240 final : public EventLog, public Subscriber<IFeature2240SurfaceTuning::Report> {
 public:
  explicit Record2240(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature2240SurfaceTuning::Report>::subscribe(feature, Direct);
  }
  void onShutterCalibrationDone(bool success, Byte shutter) override {
    add("onShutterCalibrationDone", success, shutter);
  }
  void onSqualCalibrationDone(bool success, Byte squal, Byte threshold) override {
    add("onSqualCalibrationDone", success, squal, threshold);
  }
};

class Record2400 final : public EventLog, public Subscriber<IFeature2400HybridTracking::Report> {
 public:
  explicit Record2400(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature2400HybridTracking::Report>::subscribe(feature, Direct);
  }
  void onHybridRawData(const std::vector<Byte>& data) override { add("onHybridRawData", data); }
  void onHybridStateChange(const HybridReporting::SpeedInfo& info) override { add("onHybridStateChange", info); }
};

class Record6010 final : public EventLog, public Subscriber<IFeature6010Gestures::Report> {
 public:
  explicit Record6010(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature6010Gestures::Report>::subscribe(feature, Direct);
  }
  void onGestureReport(const std::vector<Byte>& payload) override { add("onGestureReport", payload); }
};

class Record6012 final : public EventLog, public Subscriber<IFeature6012Gestures::Report> {
 public:
  explicit Record6012(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature6012Gestures::Report>::subscribe(feature, Direct);
  }
  void onGestureReport(const std::vector<Byte>& payload) override { add("onGestureReport", payload); }
};

class Record6100 final : public EventLog, public Subscriber<IFeature6100TouchPadRawXY::Report> {
 public:
  explicit Record6100(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature6100TouchPadRawXY::Report>::subscribe(feature, Direct);
  }
  void onDualXYData(IFeature6100TouchPadRawXY::DualXYData data) override { add("onDualXYData", data); }
  void onModeChanged(unsigned mode) override { add("onModeChanged", mode); }
};

class Record6500 final : public EventLog, public Subscriber<IFeature6500Gestures::Report> {
 public:
  explicit Record6500(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature6500Gestures::Report>::subscribe(feature, Direct);
  }
  void OnGestureTapEvent(IFeature6500Gestures::GestureId gesture, IFeature6500Gestures::EventType type) override {
    add("OnGestureTapEvent", gesture, type);
  }
  void OnGestureScrollEvent(IFeature6500Gestures::GestureId gesture, IFeature6500Gestures::EventType type, int dx,
                            int dy, int fingers) override {
    add("OnGestureScrollEvent", gesture, type, dx, dy, fingers);
  }
  void OnGestureSwipeEvent(IFeature6500Gestures::GestureId gesture, IFeature6500Gestures::EventType type, int dx,
                           int dy, int fingers) override {
    add("OnGestureSwipeEvent", gesture, type, dx, dy, fingers);
  }
  void OnGestureZoomEvent(IFeature6500Gestures::GestureId gesture, IFeature6500Gestures::EventType type, int x, int y,
                          int distance, int fingers) override {
    add("OnGestureZoomEvent", gesture, type, x, y, distance, fingers);
  }
  void OnGestureRotateEvent(IFeature6500Gestures::GestureId gesture, IFeature6500Gestures::EventType type, int x, int y,
                            int angle, IFeature6500Gestures::Direction direction) override {
    add("OnGestureRotateEvent", gesture, type, x, y, angle, direction);
  }
};

class Record6501 final : public EventLog, public Subscriber<IFeature6501Gestures::GestureReport> {
 public:
  explicit Record6501(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature6501Gestures::GestureReport>::subscribe(feature, Direct);
  }
  void OnGesture(unsigned gesture, const std::vector<Byte>& data) override { add("OnGesture", gesture, data); }
  void OnGestureDiverted(unsigned swid, unsigned gesture, bool diverted) override {
    add("OnGestureDiverted", swid, gesture, diverted);
  }
  void OnGestureDxDy(unsigned gesture, int dx, int dy) override { add("OnGestureDxDy", gesture, dx, dy); }
  void OnGestureEnabled(unsigned swid, unsigned gesture, bool enabled) override {
    add("OnGestureEnabled", swid, gesture, enabled);
  }
  void OnGestureFingerProgress(unsigned gesture, int x, int y) override {
    add("OnGestureFingerProgress", gesture, x, y);
  }
  void OnGestureFingerStart(unsigned gesture, int x, int y) override { add("OnGestureFingerStart", gesture, x, y); }
  void OnGestureTriggerXY(unsigned gesture, int x, int y) override { add("OnGestureTriggerXY", gesture, x, y); }
  void OnGestureUnknown(unsigned kind, const std::vector<Byte>& payload) override {
    add("OnGestureUnknown", kind, payload);
  }
  void OnParamChange(unsigned swid, unsigned parameter, const std::vector<Byte>& value) override {
    add("OnParamChange", swid, parameter, value);
  }
};

class Record8010 final : public EventLog, public Subscriber<IFeature8010Gkey::Report> {
 public:
  explicit Record8010(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8010Gkey::Report>::subscribe(feature, Direct);
  }
  void onButtonReport(const std::vector<Byte>& buttons) override { add("onButtonReport", buttons); }
};

class Record8020 final : public EventLog, public Subscriber<IFeature8020Mkeys::Report> {
 public:
  explicit Record8020(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8020Mkeys::Report>::subscribe(feature, Direct);
  }
  void onButtonReport(const Byte& buttons) override { add("onButtonReport", buttons); }
};

class Record8030 final : public EventLog, public Subscriber<IFeature8030MR::Report> {
 public:
  explicit Record8030(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8030MR::Report>::subscribe(feature, Direct);
  }
  void onButtonReport(const bool& pressed) override { add("onButtonReport", pressed); }
};

class Record8070 final : public EventLog, public Subscriber<IFeature8070ColorLEDEffects::Report> {
 public:
  explicit Record8070(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8070ColorLEDEffects::Report>::subscribe(feature, Direct);
  }
  void onSyncReport(const std::vector<Byte>& payload) override { add("onSyncReport", payload); }
};

class Record8110 final : public EventLog, public Subscriber<IFeature8110MouseButtonSpy::Report> {
 public:
  explicit Record8110(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8110MouseButtonSpy::Report>::subscribe(feature, Direct);
  }
  void onButtonReport(unsigned short buttons) override { add("onButtonReport", buttons); }
};

class Record8111 final : public EventLog, public Subscriber<IFeature8111LatencyMonitoring::Report> {
 public:
  explicit Record8111(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8111LatencyMonitoring::Report>::subscribe(feature, Direct);
  }
  void onLatencyEvent(const IFeature8111LatencyMonitoring::LatencyEventInfo& info) override {
    add("onLatencyEvent", info);
  }
};

class Record8120 final : public EventLog, public Subscriber<IFeature8120GamingAttachments::Report> {
 public:
  explicit Record8120(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8120GamingAttachments::Report>::subscribe(feature, Direct);
  }
  void onAttachmentChanged(const std::vector<IFeature8120GamingAttachments::AttachmentId>& attachments) override {
    add("onAttachmentChanged", attachments);
  }
};

class Record8123 final : public EventLog, public Subscriber<IFeature8123ForceFeedback::ForceNotification> {
 public:
  explicit Record8123(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature8123ForceFeedback::ForceNotification>::subscribe(feature, Direct);
  }
  void onExpiredForces(const std::vector<unsigned>& slots) override { add("onExpiredForces", slots); }
};

class Record1F1F final : public EventLog, public Subscriber<IFeature1F1FFirmwareProperties::Report> {
 public:
  explicit Record1F1F(const std::shared_ptr<IFeature>& feature) {
    Subscriber<IFeature1F1FFirmwareProperties::Report>::subscribe(feature, Direct);
  }
  void onPropertyChanged(unsigned property) override { add("onPropertyChanged", property); }
};

// The recorder of the member with this id; empty for members without events.
inline std::unique_ptr<EventLog> recordEvents(unsigned id, const std::shared_ptr<IFeature>& feature) {
  switch (id) {
    case 0x1000:
      return std::make_unique<Record1000>(feature);
    case 0x1001:
      return std::make_unique<Record1001>(feature);
    case 0x1800:
      return std::make_unique<Record1800>(feature);
    case 0x1814:
      return std::make_unique<Record1814>(feature);
    case 0x1981:
      return std::make_unique<Record1981>(feature);
    case 0x1B00:
      return std::make_unique<Record1B00>(feature);
    case 0x1B03:
      return std::make_unique<Record1B03>(feature);
    case 0x1B04:
      return std::make_unique<Record1B04>(feature);
    case 0x1BC0:
      return std::make_unique<Record1BC0>(feature);
    case 0x1D4B:
      return std::make_unique<Record1D4B>(feature);
    case 0x1F20:
      return std::make_unique<Record1F20>(feature);
    case 0x2005:
      return std::make_unique<Record2005>(feature);
    case 0x40A2:
      return std::make_unique<Record40A2>(feature);
    case 0x4521:
      return std::make_unique<Record4521>(feature);
    case 0x40A3:
      return std::make_unique<Record40A3>(feature);
    case 0x4220:
      return std::make_unique<Record4220>(feature);
    case 0x4530:
      return std::make_unique<Record4530>(feature);
    case 0x4531:
      return std::make_unique<Record4531>(feature);
    case 0x2121:
      return std::make_unique<Record2121>(feature);
    case 0x2130:
      return std::make_unique<Record2130>(feature);
    case 0x2240:
      return std::make_unique<Record2240>(feature);
    case 0x2400:
      return std::make_unique<Record2400>(feature);
    case 0x6010:
      return std::make_unique<Record6010>(feature);
    case 0x6012:
      return std::make_unique<Record6012>(feature);
    case 0x6100:
      return std::make_unique<Record6100>(feature);
    case 0x6500:
      return std::make_unique<Record6500>(feature);
    case 0x6501:
      return std::make_unique<Record6501>(feature);
    case 0x8010:
      return std::make_unique<Record8010>(feature);
    case 0x8020:
      return std::make_unique<Record8020>(feature);
    case 0x8030:
      return std::make_unique<Record8030>(feature);
    case 0x8070:
      return std::make_unique<Record8070>(feature);
    case 0x8110:
      return std::make_unique<Record8110>(feature);
    case 0x8111:
      return std::make_unique<Record8111>(feature);
    case 0x8120:
      return std::make_unique<Record8120>(feature);
    case 0x8123:
      return std::make_unique<Record8123>(feature);
    case 0x1F1F:
      return std::make_unique<Record1F1F>(feature);
    default:
      return nullptr;
  }
}

}  // namespace devio
