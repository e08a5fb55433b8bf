#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Force feedback (0x8123): effects downloaded into slots of the device and played there.
// Function 2: [effect type, parameters] -> [slot]; the expiry event: [slot of each expired effect].
class IFeature8123ForceFeedback {
 public:
  class ForceNotification {
   public:
    virtual void onExpiredForces(const std::vector<unsigned>& /*slots*/) {}
    virtual ~ForceNotification() = default;
  };

  virtual ~IFeature8123ForceFeedback() = default;
  virtual bool GetInfo(int* slots, int* flags) = 0;
  virtual bool ResetAll() = 0;
  virtual bool DownloadEffect(const Bytes& effect, int* slot) = 0;
  virtual bool DownloadConstantForce(int level, int duration, int* slot) = 0;
  virtual bool DownloadPeriodic(int waveform, int magnitude, int period, int duration, int* slot) = 0;
  virtual bool DownloadSpring(int coefficient, int* slot) = 0;
  // state: 0 stopped, 1 playing, 2 paused.
  virtual bool SetEffectState(int slot, int state) = 0;
  virtual bool GetEffect(int slot, Bytes* effect) = 0;
  virtual bool SetGlobalGain(int gain) = 0;
  virtual bool GetGlobalGain(int* gain) = 0;
  virtual bool SetAperture(int aperture) = 0;
  virtual bool GetAperture(int* aperture) = 0;
};

// Defined with Feature8123ForceFeedback; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8123 {
 public:
  IFeatureForceInclusion8123();
};
[[maybe_unused]] static const IFeatureForceInclusion8123 forceInclusion8123;

}  // namespace devio
