#pragma once

namespace devio {

// Keyboard backlight (0x1981). Function 0 and its event: [level, duration in 5 s steps, status];
// function 1: [level, duration].
class IFeature1981KeyboardBacklight {
 public:
  class Report {
   public:
    virtual void onBacklightChangeEvent(short /*level*/, short /*duration*/, short /*status*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1981KeyboardBacklight() = default;
  virtual bool GetBacklightDuration(int* level, int* duration, int* status) = 0;
  virtual bool SetBacklightDuration(int level, int duration) = 0;
};

// Defined with Feature1981KeyboardBacklight; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1981 {
 public:
  IFeatureForceInclusion1981();
};
[[maybe_unused]] static const IFeatureForceInclusion1981 forceInclusion1981;

}  // namespace devio
