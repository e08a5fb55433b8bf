#pragma once

namespace devio {

// DFU control, first generation (0x00C0): asks a device in its normal firmware to enter its
// update mode at once.
class IFeature00c0DFUControl {
 public:
  class ConfigReport {
   public:
    // Another program (software id swid) was answered value by function 1.
    virtual void onConfigReport(unsigned swid, unsigned short value) = 0;
    virtual ~ConfigReport() = default;
  };

  virtual ~IFeature00c0DFUControl() = default;
  virtual bool EnterDfu() = 0;
};

// Defined with Feature00c0DFUControl; see IFeatureForceInclusion0000.
class IFeatureForceInclusion00c0 {
 public:
  IFeatureForceInclusion00c0();
};
[[maybe_unused]] static const IFeatureForceInclusion00c0 forceInclusion00c0;

}  // namespace devio
