#pragma once

#include <cstdint>
#include <vector>

#include "devio/features/SpecialKeys.h"
#include "devio/protocol/Byte.h"

namespace devio {

// Special keys, third generation (0x1B03): programmable keys, their reporting and diversion to software.
// Layouts in SpecialKeys.h; the key event carries four control ids.
class IFeature1B03SpecialKeys {
 public:
  class KeyReport {
   public:
    virtual void onKeyChange(const std::vector<unsigned>& /*controls*/) {}
    virtual void OnKeyDiverted(unsigned /*swid*/, unsigned /*control*/, bool /*diverted*/) {}
    virtual ~KeyReport() = default;
  };

  virtual ~IFeature1B03SpecialKeys() = default;
  virtual bool GetControlCount(int* count) = 0;
  virtual bool GetControlInfo(int index, ControlInfo* info) = 0;
  // A remap the answer does not hold reads as 0.
  virtual bool GetControlReporting(int control, Byte* flags, int* remap) = 0;
  // Kept and replayed on the next connect while the device is away.
  virtual bool SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) = 0;
};

// Defined with Feature1B03SpecialKeys; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1B03 {
 public:
  IFeatureForceInclusion1B03();
};
[[maybe_unused]] static const IFeatureForceInclusion1B03 forceInclusion1B03;

}  // namespace devio
