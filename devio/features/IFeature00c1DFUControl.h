#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// DFU control, second generation (0x00C1): a small control record; with it set the device
// starts in its update mode the next time it starts.
class IFeature00c1DFUControl {
 public:
  // Declared for clients; the feature never produces it.
  class ConfigReport {
   public:
    virtual void onConfigReport(unsigned swid, unsigned short value) = 0;
    virtual ~ConfigReport() = default;
  };

  virtual ~IFeature00c1DFUControl() = default;
  // control := payload byte 1 (may be null).
  virtual bool GetDfuControl(int* control) = 0;
  // (1, 0, 0, 0) arms the update mode for the next start.
  virtual bool SetDfuControl(Byte a, Byte b, Byte c, Byte d) = 0;
};

// Defined with Feature00c1DFUControl; see IFeatureForceInclusion0000.
class IFeatureForceInclusion00c1 {
 public:
  IFeatureForceInclusion00c1();
};
[[maybe_unused]] static const IFeatureForceInclusion00c1 forceInclusion00c1;

}  // namespace devio
