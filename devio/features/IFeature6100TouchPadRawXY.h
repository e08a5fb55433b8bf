#pragma once

namespace devio {

// Touch pad raw XY (0x6100). Function 0: -> [width high, low, height high, low, dpi high, low];
// functions 1 and 2: [mode], bit 0 raw reports; raw event [x1, y1, x2, y2 (each high, low), fingers].
class IFeature6100TouchPadRawXY {
 public:
  struct DualXYData {
    unsigned x1 = 0;
    unsigned y1 = 0;
    unsigned x2 = 0;
    unsigned y2 = 0;
    unsigned fingers = 0;
  };

  class Report {
   public:
    virtual void onDualXYData(DualXYData /*data*/) {}
    virtual void onModeChanged(unsigned /*mode*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature6100TouchPadRawXY() = default;
  virtual bool GetTouchPadInfo(int* width, int* height, int* dpi) = 0;
  // Reads the mode and writes it back with bit 0 changed.
  virtual bool EnableRawReporting(bool enable) = 0;
  virtual bool SetRawReportState(int mode) = 0;
};

// Defined with Feature6100TouchPadRawXY; see IFeatureForceInclusion0000.
class IFeatureForceInclusion6100 {
 public:
  IFeatureForceInclusion6100();
};
[[maybe_unused]] static const IFeatureForceInclusion6100 forceInclusion6100;

}  // namespace devio
