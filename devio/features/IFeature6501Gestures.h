#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Gestures with diversion and parameters (0x6501). Function 0: [index] -> [gesture, flags: bit 0 can be
// enabled, bit 1 can be diverted], a gesture argument is that index; functions 1 to 4: [gesture(, on)] -> [gesture,
// on]; functions 5 to 8: [parameter(, value bytes)] -> [parameter, value bytes]; events [gesture, kind, x high, low, y
// high, low].
class IFeature6501Gestures {
 public:
  class GestureReport {
   public:
    virtual void OnGesture(unsigned /*gesture*/, const std::vector<Byte>& /*data*/) {}
    virtual void OnGestureDiverted(unsigned /*swid*/, unsigned /*gesture*/, bool /*diverted*/) {}
    virtual void OnGestureDxDy(unsigned /*gesture*/, int /*dx*/, int /*dy*/) {}
    virtual void OnGestureEnabled(unsigned /*swid*/, unsigned /*gesture*/, bool /*enabled*/) {}
    virtual void OnGestureFingerProgress(unsigned /*gesture*/, int /*x*/, int /*y*/) {}
    virtual void OnGestureFingerStart(unsigned /*gesture*/, int /*x*/, int /*y*/) {}
    virtual void OnGestureTriggerXY(unsigned /*gesture*/, int /*x*/, int /*y*/) {}
    virtual void OnGestureUnknown(unsigned /*kind*/, const std::vector<Byte>& /*payload*/) {}
    virtual void OnParamChange(unsigned /*swid*/, unsigned /*parameter*/, const std::vector<Byte>& /*value*/) {}
    virtual ~GestureReport() = default;
  };

  virtual ~IFeature6501Gestures() = default;
  virtual bool GetGestureInfo(int index, int* gesture, int* flags) = 0;
  virtual bool IsEnabled(int gesture, bool* enabled) = 0;
  virtual bool EnableNow(int gesture, bool enable) = 0;
  virtual bool IsDiverted(int gesture, bool* diverted) = 0;
  virtual bool DivertNow(int gesture, bool divert) = 0;
  virtual bool GetSpec(int parameter, Bytes* spec) = 0;
  virtual bool ParamDefault(int parameter, Bytes* value) = 0;
  virtual bool GetParam(int parameter, Bytes* value) = 0;
  virtual bool SetParamNow(int parameter, const Bytes& value) = 0;
  virtual bool Enable(int gesture, bool enable) = 0;
  virtual bool Divert(int gesture, bool divert) = 0;
  virtual bool SetParam(int parameter, const Bytes& value) = 0;
  virtual bool EnableGestures(const std::vector<int>& gestures, bool enable) = 0;
  virtual bool DivertGestures(const std::vector<int>& gestures, bool divert) = 0;
  // Writes the parameter's default back.
  virtual bool ResetParam(int parameter) = 0;
  // Disables and undiverts the gesture and restores the parameter's default.
  virtual bool ResetGesture(int gesture, int parameter) = 0;
  // Whether one of the first count gestures of GetGestureInfo is gesture.
  virtual bool SupportsGesture(int count, int gesture, bool* supported) = 0;
};

// Defined with Feature6501Gestures; see IFeatureForceInclusion0000.
class IFeatureForceInclusion6501 {
 public:
  IFeatureForceInclusion6501();
};
[[maybe_unused]] static const IFeatureForceInclusion6501 forceInclusion6501;

}  // namespace devio
