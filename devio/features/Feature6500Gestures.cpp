#include "devio/features/Feature6500Gestures.h"

#include <atomic>
#include <cstddef>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature6500Gestures::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature6500Gestures>(Feature6500Gestures::Id);

enum Function : int {
  GetGestureIDInfoFunction = 1,
  IsEnabledFunction = 2,
  EnableFunction = 3,
  ResetGesturesFunction = 4,
};
}  // namespace

IFeatureForceInclusion6500::IFeatureForceInclusion6500() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature6500Gestures", "devio::IFeatureForceInclusion6500::IFeatureForceInclusion6500",
                     "Devio: Feature6500 included");
}

Feature6500Gestures::Feature6500Gestures(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature6500Gestures::GetGestureIDInfo(int index, GestureId* gesture, EventType* type) {
  Bytes p;
  if (!query(GetGestureIDInfoFunction, {lowByte(index)}, 2, p, true)) return false;
  store(gesture, GestureId{p[0]});
  store(type, EventType{p[1]});
  return true;
}

bool Feature6500Gestures::IsEnabled(GestureId gesture, bool* enabled) {
  Bytes p;
  if (!query(IsEnabledFunction, {static_cast<Byte>(gesture)}, 2, p)) return false;
  store(enabled, p[1] != 0);
  return true;
}

bool Feature6500Gestures::Enable(GestureId gesture, bool enable) {
  return change(FN(Enable), EnableFunction, {static_cast<Byte>(gesture), Byte{enable}});
}

bool Feature6500Gestures::ResetGestures() { return change(FN(ResetGestures), ResetGesturesFunction, {}); }

bool Feature6500Gestures::EnableTap(bool enable) { return Enable(GestureId::Tap, enable); }

bool Feature6500Gestures::EnableScroll(bool enable) { return Enable(GestureId::Scroll, enable); }

bool Feature6500Gestures::EnableSwipe(bool enable) { return Enable(GestureId::Swipe, enable); }

bool Feature6500Gestures::EnableZoom(bool enable) { return Enable(GestureId::Zoom, enable); }

void Feature6500Gestures::onFeatureReport(int function, const Bytes& payload) {
  if (function != 0 || payload.size() < 2) return;
  const GestureId gesture{payload[0]};
  const EventType type{payload[1]};
  const auto value = [&](std::size_t i) { return signed16(payload, 2 + 2 * i); };
  switch (gesture) {
    case GestureId::Tap:
      fire("Feature6500Gestures::Report::OnGestureTapEvent", &Report::OnGestureTapEvent, gesture, type);
      break;
    case GestureId::Scroll:
      if (payload.size() >= 8)
        fire("Feature6500Gestures::Report::OnGestureScrollEvent", &Report::OnGestureScrollEvent, gesture, type,
             value(0), value(1), value(2));
      break;
    case GestureId::Swipe:
      if (payload.size() >= 8)
        fire("Feature6500Gestures::Report::OnGestureSwipeEvent", &Report::OnGestureSwipeEvent, gesture, type, value(0),
             value(1), value(2));
      break;
    case GestureId::Zoom:
      if (payload.size() >= 10)
        fire("Feature6500Gestures::Report::OnGestureZoomEvent", &Report::OnGestureZoomEvent, gesture, type, value(0),
             value(1), value(2), value(3));
      break;
    case GestureId::Rotate:
      if (payload.size() >= 10)
        fire("Feature6500Gestures::Report::OnGestureRotateEvent", &Report::OnGestureRotateEvent, gesture, type,
             value(0), value(1), value(2), Direction{payload[9] & 1u});
      break;
  }
}

}  // namespace devio
