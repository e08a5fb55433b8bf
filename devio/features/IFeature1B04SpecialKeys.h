#pragma once

#include <cstdint>
#include <vector>

#include "devio/features/SpecialKeys.h"
#include "devio/protocol/Byte.h"

namespace devio {

// Special keys, fourth generation (0x1B04): reprogrammable keys and buttons, their reporting, diversion
// and remapping. Layouts in SpecialKeys.h; the key event carries four control ids, the raw
// movement event [dx high, low, dy high, low], signed.
class IFeature1B04SpecialKeys {
 public:
  class KeyReport {
   public:
    virtual void onKeyChange(const std::vector<unsigned>& /*controls*/) {}
    virtual void OnKeyDiverted(unsigned /*swid*/, unsigned /*control*/, bool /*persistent*/, bool /*diverted*/,
                               unsigned /*remap*/) {}
    virtual ~KeyReport() = default;
  };

  class RawXYReport {
   public:
    virtual void onRawXY(int /*dx*/, int /*dy*/) {}
    virtual ~RawXYReport() = default;
  };

  virtual ~IFeature1B04SpecialKeys() = default;
  virtual bool GetControlCount(int* count) = 0;
  virtual bool GetControlInfo(int index, int* control, int* task, Byte* flags, int* position, int* group,
                              Byte* groupMask, Byte* additionalFlags) = 0;
  // A remap the answer does not hold reads as 0.
  virtual bool GetControlReporting(int control, Byte* flags, int* remap) = 0;
  // Kept and replayed on the next connect while the device is away.
  virtual bool SetCtrlIdReporting(int control, Byte reporting, std::uint16_t remap) = 0;
};

// Defined with Feature1B04SpecialKeys; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1B04 {
 public:
  IFeatureForceInclusion1B04();
};
[[maybe_unused]] static const IFeatureForceInclusion1B04 forceInclusion1B04;

}  // namespace devio
