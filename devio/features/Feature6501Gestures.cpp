#include "devio/features/Feature6501Gestures.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature6501Gestures::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature6501Gestures>(Feature6501Gestures::Id);

enum Function : int {
  GetGestureInfoFunction = 0,
  IsEnabledFunction = 1,
  EnableNowFunction = 2,
  IsDivertedFunction = 3,
  DivertNowFunction = 4,
  GetSpecFunction = 5,
  ParamDefaultFunction = 6,
  GetParamFunction = 7,
  SetParamNowFunction = 8,
};

constexpr Byte CanEnable = 1;
constexpr Byte CanDivert = 2;

// Kinds of a gesture event.
enum Kind : Byte { Raw = 0, DxDy = 1, FingerStart = 2, FingerProgress = 3, TriggerXY = 4 };
}  // namespace

IFeatureForceInclusion6501::IFeatureForceInclusion6501() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature6501Gestures", "devio::IFeatureForceInclusion6501::IFeatureForceInclusion6501",
                     "Devio: Feature6501 included");
}

Feature6501Gestures::Feature6501Gestures(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature6501Gestures::GetGestureInfo(int index, int* gesture, int* flags) {
  Bytes p;
  if (!query(GetGestureInfoFunction, {lowByte(index)}, 2, p, true)) return false;
  store(gesture, p[0]);
  store(flags, p[1]);
  return true;
}

bool Feature6501Gestures::IsEnabled(int gesture, bool* enabled) {
  return readSwitch(gesture, CanEnable, IsEnabledFunction, enabled);
}

bool Feature6501Gestures::EnableNow(int gesture, bool enable) {
  return change(FN(EnableNow), EnableNowFunction, {lowByte(gesture), Byte{enable}});
}

bool Feature6501Gestures::IsDiverted(int gesture, bool* diverted) {
  return readSwitch(gesture, CanDivert, IsDivertedFunction, diverted);
}

bool Feature6501Gestures::DivertNow(int gesture, bool divert) {
  return change(FN(DivertNow), DivertNowFunction, {lowByte(gesture), Byte{divert}});
}

bool Feature6501Gestures::GetSpec(int parameter, Bytes* spec) {
  Bytes p;
  if (!query(GetSpecFunction, {lowByte(parameter)}, 1, p, true)) return false;
  store(spec, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature6501Gestures::ParamDefault(int parameter, Bytes* value) {
  Bytes p;
  if (!query(ParamDefaultFunction, {lowByte(parameter)}, 1, p, true)) return false;
  store(value, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature6501Gestures::GetParam(int parameter, Bytes* value) {
  Bytes p;
  if (!query(GetParamFunction, {lowByte(parameter)}, 1, p)) return false;
  store(value, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature6501Gestures::SetParamNow(int parameter, const Bytes& value) {
  Bytes params{lowByte(parameter)};
  params.insert(params.end(), value.begin(), value.end());
  return change(FN(SetParamNow), SetParamNowFunction, params);
}

bool Feature6501Gestures::Enable(int gesture, bool enable) { return EnableNow(gesture, enable); }

bool Feature6501Gestures::Divert(int gesture, bool divert) { return DivertNow(gesture, divert); }

bool Feature6501Gestures::SetParam(int parameter, const Bytes& value) { return SetParamNow(parameter, value); }

bool Feature6501Gestures::EnableGestures(const std::vector<int>& gestures, bool enable) {
  return std::all_of(gestures.begin(), gestures.end(), [&](int gesture) { return EnableNow(gesture, enable); });
}

bool Feature6501Gestures::DivertGestures(const std::vector<int>& gestures, bool divert) {
  return std::all_of(gestures.begin(), gestures.end(), [&](int gesture) { return DivertNow(gesture, divert); });
}

bool Feature6501Gestures::ResetParam(int parameter) {
  Bytes value;
  return ensureConfigured(FN(ResetParam)) && ParamDefault(parameter, &value) && SetParamNow(parameter, value);
}

bool Feature6501Gestures::ResetGesture(int gesture, int parameter) {
  Bytes value;
  return EnableNow(gesture, false) && DivertNow(gesture, false) && ParamDefault(parameter, &value) &&
         SetParamNow(parameter, value);
}

bool Feature6501Gestures::SupportsGesture(int count, int gesture, bool* supported) {
  for (int index = 0; index < count; ++index) {
    int id = 0;
    if (!GetGestureInfo(index, &id, nullptr)) return false;
    if (id == gesture) {
      store(supported, true);
      return true;
    }
  }
  store(supported, false);
  return true;
}

void Feature6501Gestures::onFeatureReport(int function, const Bytes& payload) {
  if (function != 0 || payload.size() < 2) return;
  const unsigned gesture = payload[0];
  const bool xy = payload.size() >= 6;
  switch (payload[1]) {
    case Raw:
      fire("Feature6501Gestures::GestureReport::OnGesture", &GestureReport::OnGesture, gesture,
           Bytes(payload.begin() + 2, payload.end()));
      return;
    case DxDy:
      if (xy)
        fire("Feature6501Gestures::GestureReport::OnGestureDxDy", &GestureReport::OnGestureDxDy, gesture,
             signed16(payload, 2), signed16(payload, 4));
      return;
    case FingerStart:
      if (xy)
        fire("Feature6501Gestures::GestureReport::OnGestureFingerStart", &GestureReport::OnGestureFingerStart, gesture,
             signed16(payload, 2), signed16(payload, 4));
      return;
    case FingerProgress:
      if (xy)
        fire("Feature6501Gestures::GestureReport::OnGestureFingerProgress", &GestureReport::OnGestureFingerProgress,
             gesture, signed16(payload, 2), signed16(payload, 4));
      return;
    case TriggerXY:
      if (xy)
        fire("Feature6501Gestures::GestureReport::OnGestureTriggerXY", &GestureReport::OnGestureTriggerXY, gesture,
             signed16(payload, 2), signed16(payload, 4));
      return;
    default:
      fire("Feature6501Gestures::GestureReport::OnGestureUnknown", &GestureReport::OnGestureUnknown,
           unsigned{payload[1]}, payload);
  }
}

void Feature6501Gestures::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, EnableNowFunction, 2))
    fire("Feature6501Gestures::GestureReport::OnGestureEnabled", &GestureReport::OnGestureEnabled, swid,
         unsigned{payload[0]}, payload[1] != 0);
  else if (function == DivertNowFunction && payload.size() >= 2)
    fire("Feature6501Gestures::GestureReport::OnGestureDiverted", &GestureReport::OnGestureDiverted, swid,
         unsigned{payload[0]}, payload[1] != 0);
  else if (function == SetParamNowFunction && !payload.empty())
    fire("Feature6501Gestures::GestureReport::OnParamChange", &GestureReport::OnParamChange, swid, unsigned{payload[0]},
         Bytes(payload.begin() + 1, payload.end()));
}

bool Feature6501Gestures::readSwitch(int gesture, Byte capability, int function, bool* on) {
  int flags = 0;
  Bytes p;
  if (!GetGestureInfo(gesture, nullptr, &flags)) return false;
  if (!(flags & capability)) {
    store(on, false);
    return true;
  }
  if (!query(function, {lowByte(gesture)}, 2, p)) return false;
  store(on, p[1] != 0);
  return true;
}

}  // namespace devio
