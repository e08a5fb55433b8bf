#pragma once

#include <vector>

#include "devio/features/SpecialKeys.h"

namespace devio {

// Special keys, first generation (0x1B00): the device's programmable keys and their presses.
// Layouts in SpecialKeys.h; the key event carries four control ids.
class IFeature1B00SpecialKeys {
 public:
  class KeyReport {
   public:
    virtual void onKeyChange(const std::vector<unsigned>& /*controls*/) {}
    virtual ~KeyReport() = default;
  };

  virtual ~IFeature1B00SpecialKeys() = default;
  virtual bool GetControlCount(int* count) = 0;
  virtual bool GetControlInfo(int index, ControlInfo* info) = 0;
};

// Defined with Feature1B00SpecialKeys; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1B00 {
 public:
  IFeatureForceInclusion1B00();
};
[[maybe_unused]] static const IFeatureForceInclusion1B00 forceInclusion1B00;

}  // namespace devio
