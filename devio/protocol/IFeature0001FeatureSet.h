#pragma once

namespace devio {

// FeatureSet (0x0001): enumerates the device's features by index. Every pointer argument may
// be null; that value is then not stored.
class IFeature0001FeatureSet {
 public:
  virtual ~IFeature0001FeatureSet() = default;
  virtual bool GetCount(int* count) = 0;
  virtual bool GetFeatureID(int featureIndex, unsigned* featureID, bool* engineeringHidden, bool* swHidden,
                            bool* obsolete, int* version) = 0;
};

// Defined with Feature0001FeatureSet; see IFeatureForceInclusion0000.
class IFeatureForceInclusion0001 {
 public:
  IFeatureForceInclusion0001();
};
[[maybe_unused]] static const IFeatureForceInclusion0001 forceInclusion0001;

}  // namespace devio
