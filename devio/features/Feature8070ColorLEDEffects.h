#pragma once

#include <memory>

#include "devio/features/IFeature8070ColorLEDEffects.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8070ColorLEDEffects : public Feature,
                                   public IFeature8070ColorLEDEffects,
                                   public Producer<IFeature8070ColorLEDEffects::Report> {
 public:
  static constexpr unsigned Id = 0x8070;

  Feature8070ColorLEDEffects(int index, std::weak_ptr<IDevice> device);

  bool GetInfo(int* zones, int* nvCapabilities) override;
  bool GetZoneInfo(int zone, int* location, int* effects) override;
  bool GetZoneEffectInfo(int zone, int effect, int* id, int* capabilities) override;
  bool SetZoneEffect(int zone, const Bytes& effect) override;
  bool GetNvConfig(int* capability, int* config) override;
  bool SetNvConfig(int capability, int config) override;
  bool GetZoneEffect(int zone, Bytes* effect) override;
  bool SetEffectSyncCorrection(int correction) override;
  bool ManageSoftwareControl(bool enable) override;
  bool SetEffectByIndex(int zone, int effect) override;
  bool GetEffectByIndex(int zone, int* effect) override;
  bool SetZoneUserEffect(int zone, const Bytes& effect) override;
  bool GetZoneUserEffect(int zone, Bytes* effect) override;
  bool SetSleepTimeout(int seconds) override;
  bool GetSleepTimeout(int* seconds) override;
  bool SetZoneOff(int zone) override;
  bool SetAllZonesEffect(int zones, const Bytes& effect) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
