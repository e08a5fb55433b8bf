#pragma once

#include <memory>

#include "devio/features/IFeature2121HiResWheel.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature2121HiResWheel : public Feature,
                              public IFeature2121HiResWheel,
                              public Producer<IFeature2121HiResWheel::Report>,
                              public Producer<IFeature2121HiResWheel::SettingChange>,
                              public Producer<IFeature2121HiResWheel::RatchetSwitch> {
 public:
  static constexpr unsigned Id = 0x2121;

  Feature2121HiResWheel(int index, std::weak_ptr<IDevice> device);

  bool GetWheelCapability(int* multiplier, bool* hasSwitch, bool* canInvert) override;
  bool GetWheelMode(bool* target, bool* hiRes) override;
  bool GetWheelMode(bool* target, bool* hiRes, bool* inverted) override;
  bool SetWheelMode(bool target, bool hiRes) override;
  bool SetWheelMode(bool target, bool hiRes, bool inverted) override;
  bool GetRatchetSwitchState(bool* ratchet) override;

  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
