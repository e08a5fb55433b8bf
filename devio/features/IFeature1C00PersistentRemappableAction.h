#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// Persistent remappable action (0x1C00): actions the device stores for its controls.
// Control arguments travel as [control high, low]; an action is the bytes after them.
class IFeature1C00PersistentRemappableAction {
 public:
  virtual ~IFeature1C00PersistentRemappableAction() = default;
  virtual bool GetCapabilities(int* count, int* flags) = 0;
  virtual bool GetActionInfo(int index, int* control, int* flags) = 0;
  virtual bool GetAction(int control, Bytes* action) = 0;
  virtual bool SetAction(int control, const Bytes& action) = 0;
  virtual bool ResetAction(int control) = 0;
  virtual bool ResetAllActions() = 0;
  virtual bool GetActionSource(int control, int* source) = 0;
};

// Defined with Feature1C00PersistentRemappableAction; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1C00 {
 public:
  IFeatureForceInclusion1C00();
};
[[maybe_unused]] static const IFeatureForceInclusion1C00 forceInclusion1C00;

}  // namespace devio
