#pragma once

namespace devio {

// Keyboard layout (0x4540): [layout] of the keyboard's key caps (1 US, 2 UK, 3 German, ...).
class IFeature4540KBLayout {
 public:
  virtual ~IFeature4540KBLayout() = default;
  virtual bool GetKeyboardLayout(int* layout) = 0;
};

// Defined with Feature4540KBLayout; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4540 {
 public:
  IFeatureForceInclusion4540();
};
[[maybe_unused]] static const IFeatureForceInclusion4540 forceInclusion4540;

}  // namespace devio
