#pragma once

namespace devio {

// Lock key state (0x4220): [state] both in the answer and the event; bit 0 Num Lock, 1 Caps Lock, 2 Scroll Lock.
class IFeature4220LockKeyState {
 public:
  class Report {
   public:
    virtual void onLockKeyChange(short /*state*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature4220LockKeyState() = default;
  virtual bool GetLockState(int* state) = 0;
};

// Defined with Feature4220LockKeyState; see IFeatureForceInclusion0000.
class IFeatureForceInclusion4220 {
 public:
  IFeatureForceInclusion4220();
};
[[maybe_unused]] static const IFeatureForceInclusion4220 forceInclusion4220;

}  // namespace devio
