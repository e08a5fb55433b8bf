#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Color LED effects (0x8070): effects of the device's lighting zones. Zone arguments lead the request,
// [zone, ...]; an effect is [effect index, parameter bytes]; answers echo the zone first.
class IFeature8070ColorLEDEffects {
 public:
  class Report {
   public:
    virtual void onSyncReport(const std::vector<Byte>& /*payload*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8070ColorLEDEffects() = default;
  virtual bool GetInfo(int* zones, int* nvCapabilities) = 0;
  virtual bool GetZoneInfo(int zone, int* location, int* effects) = 0;
  virtual bool GetZoneEffectInfo(int zone, int effect, int* id, int* capabilities) = 0;
  virtual bool SetZoneEffect(int zone, const Bytes& effect) = 0;
  virtual bool GetNvConfig(int* capability, int* config) = 0;
  virtual bool SetNvConfig(int capability, int config) = 0;
  virtual bool GetZoneEffect(int zone, Bytes* effect) = 0;
  virtual bool SetEffectSyncCorrection(int correction) = 0;
  virtual bool ManageSoftwareControl(bool enable) = 0;
  virtual bool SetEffectByIndex(int zone, int effect) = 0;
  virtual bool GetEffectByIndex(int zone, int* effect) = 0;
  virtual bool SetZoneUserEffect(int zone, const Bytes& effect) = 0;
  virtual bool GetZoneUserEffect(int zone, Bytes* effect) = 0;
  virtual bool SetSleepTimeout(int seconds) = 0;
  virtual bool GetSleepTimeout(int* seconds) = 0;
  // Effect 0 turns the zone off.
  virtual bool SetZoneOff(int zone) = 0;
  // The same effect in the first zones zones.
  virtual bool SetAllZonesEffect(int zones, const Bytes& effect) = 0;
};

// Defined with Feature8070ColorLEDEffects; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8070 {
 public:
  IFeatureForceInclusion8070();
};
[[maybe_unused]] static const IFeatureForceInclusion8070 forceInclusion8070;

}  // namespace devio
