#pragma once

#include <memory>

#include "devio/features/IFeature8123ForceFeedback.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8123ForceFeedback : public Feature,
                                 public IFeature8123ForceFeedback,
                                 public Producer<IFeature8123ForceFeedback::ForceNotification> {
 public:
  static constexpr unsigned Id = 0x8123;

  Feature8123ForceFeedback(int index, std::weak_ptr<IDevice> device);

  bool GetInfo(int* slots, int* flags) override;
  bool ResetAll() override;
  bool DownloadEffect(const Bytes& effect, int* slot) override;
  bool DownloadConstantForce(int level, int duration, int* slot) override;
  bool DownloadPeriodic(int waveform, int magnitude, int period, int duration, int* slot) override;
  bool DownloadSpring(int coefficient, int* slot) override;
  bool SetEffectState(int slot, int state) override;
  bool GetEffect(int slot, Bytes* effect) override;
  bool SetGlobalGain(int gain) override;
  bool GetGlobalGain(int* gain) override;
  bool SetAperture(int aperture) override;
  bool GetAperture(int* aperture) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
