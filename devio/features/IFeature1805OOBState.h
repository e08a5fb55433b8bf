#pragma once

namespace devio {

// Out-of-box state (0x1805): puts the device back into the state it left the factory in.
class IFeature1805OOBState {
 public:
  virtual ~IFeature1805OOBState() = default;
  virtual bool SetOobState() = 0;
};

// Defined with Feature1805OOBState; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1805 {
 public:
  IFeatureForceInclusion1805();
};
[[maybe_unused]] static const IFeatureForceInclusion1805 forceInclusion1805;

}  // namespace devio
