#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// Surface tuning (0x2240): calibration of the sensor to the surface. Functions 3 to 6: [value];
// events: shutter [success, shutter], squal [success, squal, threshold].
class IFeature2240SurfaceTuning {
 public:
  class Report {
   public:
    virtual void onShutterCalibrationDone(bool /*success*/, Byte /*shutter*/) {}
    virtual void onSqualCalibrationDone(bool /*success*/, Byte /*squal*/, Byte /*threshold*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature2240SurfaceTuning() = default;
  virtual bool GetCapabilities(int* flags) = 0;
  virtual bool StartShutterCalibration() = 0;
  virtual bool StartSqualCalibration() = 0;
  virtual bool GetSurfaceMode(int* mode) = 0;
  virtual bool SetSurfaceMode(int mode) = 0;
  virtual bool GetLiftThreshold(int* threshold) = 0;
  virtual bool SetLiftThreshold(int threshold) = 0;
};

// Defined with Feature2240SurfaceTuning; see IFeatureForceInclusion0000.
class IFeatureForceInclusion2240 {
 public:
  IFeatureForceInclusion2240();
};
[[maybe_unused]] static const IFeatureForceInclusion2240 forceInclusion2240;

}  // namespace devio
