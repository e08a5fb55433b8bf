#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// DFU control, third generation (0x00C2): a control record as 0x00C1's, written without
// waiting for the device's answer.
class IFeature00c2DFUControl {
 public:
  // Declared for clients; the feature never produces it.
  class ConfigReport {
   public:
    virtual void onConfigReport(unsigned swid, unsigned short value) = 0;
    virtual ~ConfigReport() = default;
  };

  virtual ~IFeature00c2DFUControl() = default;
  // enabled := bit 0 of payload byte 2 (may be null). A failed command leaves GeneralError.
  virtual bool GetDfuControl(bool* enabled) = 0;
  // True once the request is handed to the device; the device's answer is not awaited. A failed
  // write leaves GeneralError.
  virtual bool SetDfuControl(Byte a, Byte b) = 0;
};

// Defined with Feature00c2DFUControl; see IFeatureForceInclusion0000.
class IFeatureForceInclusion00c2 {
 public:
  IFeatureForceInclusion00c2();
};
[[maybe_unused]] static const IFeatureForceInclusion00c2 forceInclusion00c2;

}  // namespace devio
