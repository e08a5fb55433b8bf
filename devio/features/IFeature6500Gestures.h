#pragma once

namespace devio {

// Gestures of a touch surface (0x6500). Function 1: [index] -> [gesture, event type]; functions 2 and 3:
// [gesture, enabled]; events: [gesture, event type, four values high, low], a rotation's last value its direction.
class IFeature6500Gestures {
 public:
  enum class GestureId : unsigned { Tap = 0, Scroll = 1, Swipe = 2, Zoom = 3, Rotate = 4 };
  enum class EventType : unsigned { Start = 0, Continue = 1, End = 2 };
  enum class Direction : unsigned { Clockwise = 0, CounterClockwise = 1 };

  class Report {
   public:
    virtual void OnGestureTapEvent(GestureId /*gesture*/, EventType /*type*/) {}
    virtual void OnGestureScrollEvent(GestureId /*gesture*/, EventType /*type*/, int /*dx*/, int /*dy*/,
                                      int /*fingers*/) {}
    virtual void OnGestureSwipeEvent(GestureId /*gesture*/, EventType /*type*/, int /*dx*/, int /*dy*/,
                                     int /*fingers*/) {}
    virtual void OnGestureZoomEvent(GestureId /*gesture*/, EventType /*type*/, int /*x*/, int /*y*/, int /*distance*/,
                                    int /*fingers*/) {}
    virtual void OnGestureRotateEvent(GestureId /*gesture*/, EventType /*type*/, int /*x*/, int /*y*/, int /*angle*/,
                                      Direction /*direction*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature6500Gestures() = default;
  virtual bool GetGestureIDInfo(int index, GestureId* gesture, EventType* type) = 0;
  virtual bool IsEnabled(GestureId gesture, bool* enabled) = 0;
  virtual bool Enable(GestureId gesture, bool enable) = 0;
  virtual bool ResetGestures() = 0;
  virtual bool EnableTap(bool enable) = 0;
  virtual bool EnableScroll(bool enable) = 0;
  virtual bool EnableSwipe(bool enable) = 0;
  virtual bool EnableZoom(bool enable) = 0;
};

// Defined with Feature6500Gestures; see IFeatureForceInclusion0000.
class IFeatureForceInclusion6500 {
 public:
  IFeatureForceInclusion6500();
};
[[maybe_unused]] static const IFeatureForceInclusion6500 forceInclusion6500;

}  // namespace devio
