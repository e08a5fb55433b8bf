#include "devio/features/Feature8070ColorLEDEffects.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8070ColorLEDEffects::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature8070ColorLEDEffects>(Feature8070ColorLEDEffects::Id);

enum Function : int {
  GetInfoFunction = 0,
  GetZoneInfoFunction = 1,
  GetZoneEffectInfoFunction = 2,
  SetZoneEffectFunction = 3,
  GetNvConfigFunction = 4,
  SetNvConfigFunction = 5,
  GetZoneEffectFunction = 6,
  SetEffectSyncCorrectionFunction = 7,
  ManageSoftwareControlFunction = 8,
  SetEffectByIndexFunction = 9,
  GetEffectByIndexFunction = 10,
  SetZoneUserEffectFunction = 11,
  GetZoneUserEffectFunction = 12,
  SetSleepTimeoutFunction = 13,
  GetSleepTimeoutFunction = 14,
};

Bytes withZone(int zone, const Bytes& data) {
  Bytes params{static_cast<Byte>(zone)};
  params.insert(params.end(), data.begin(), data.end());
  return params;
}
}  // namespace

IFeatureForceInclusion8070::IFeatureForceInclusion8070() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8070ColorLEDEffects",
                     "devio::IFeatureForceInclusion8070::IFeatureForceInclusion8070", "Devio: Feature8070 included");
}

Feature8070ColorLEDEffects::Feature8070ColorLEDEffects(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8070ColorLEDEffects::GetInfo(int* zones, int* nvCapabilities) {
  Bytes p;
  if (!query(GetInfoFunction, {}, 3, p)) return false;
  store(zones, p[0]);
  store(nvCapabilities, bigEndian16(p, 1));
  return true;
}

bool Feature8070ColorLEDEffects::GetZoneInfo(int zone, int* location, int* effects) {
  Bytes p;
  if (!query(GetZoneInfoFunction, {lowByte(zone)}, 4, p)) return false;
  store(location, bigEndian16(p, 1));
  store(effects, p[3]);
  return true;
}

bool Feature8070ColorLEDEffects::GetZoneEffectInfo(int zone, int effect, int* id, int* capabilities) {
  Bytes p;
  if (!query(GetZoneEffectInfoFunction, {lowByte(zone), lowByte(effect)}, 6, p)) return false;
  store(id, bigEndian16(p, 2));
  store(capabilities, bigEndian16(p, 4));
  return true;
}

bool Feature8070ColorLEDEffects::SetZoneEffect(int zone, const Bytes& effect) {
  return change(FN(SetZoneEffect), SetZoneEffectFunction, withZone(zone, effect));
}

bool Feature8070ColorLEDEffects::GetNvConfig(int* capability, int* config) {
  Bytes p;
  if (!query(GetNvConfigFunction, {}, 3, p)) return false;
  store(capability, bigEndian16(p, 0));
  store(config, p[2]);
  return true;
}

bool Feature8070ColorLEDEffects::SetNvConfig(int capability, int config) {
  return change(FN(SetNvConfig), SetNvConfigFunction, {highByte(capability), lowByte(capability), lowByte(config)});
}

bool Feature8070ColorLEDEffects::GetZoneEffect(int zone, Bytes* effect) {
  Bytes p;
  if (!query(GetZoneEffectFunction, {lowByte(zone)}, 1, p)) return false;
  store(effect, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature8070ColorLEDEffects::SetEffectSyncCorrection(int correction) {
  return command(SetEffectSyncCorrectionFunction, {highByte(correction), lowByte(correction)});
}

bool Feature8070ColorLEDEffects::ManageSoftwareControl(bool enable) {
  return command(ManageSoftwareControlFunction, {Byte{enable}});
}

bool Feature8070ColorLEDEffects::SetEffectByIndex(int zone, int effect) {
  return change(FN(SetEffectByIndex), SetEffectByIndexFunction, {lowByte(zone), lowByte(effect)});
}

bool Feature8070ColorLEDEffects::GetEffectByIndex(int zone, int* effect) {
  Bytes p;
  if (!query(GetEffectByIndexFunction, {lowByte(zone)}, 2, p)) return false;
  store(effect, p[1]);
  return true;
}

bool Feature8070ColorLEDEffects::SetZoneUserEffect(int zone, const Bytes& effect) {
  return change(FN(SetZoneUserEffect), SetZoneUserEffectFunction, withZone(zone, effect));
}

bool Feature8070ColorLEDEffects::GetZoneUserEffect(int zone, Bytes* effect) {
  Bytes p;
  if (!query(GetZoneUserEffectFunction, {lowByte(zone)}, 1, p)) return false;
  store(effect, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature8070ColorLEDEffects::SetSleepTimeout(int seconds) {
  return change(FN(SetSleepTimeout), SetSleepTimeoutFunction, {highByte(seconds), lowByte(seconds)});
}

bool Feature8070ColorLEDEffects::GetSleepTimeout(int* seconds) {
  Bytes p;
  if (!query(GetSleepTimeoutFunction, {}, 2, p)) return false;
  store(seconds, bigEndian16(p, 0));
  return true;
}

bool Feature8070ColorLEDEffects::SetZoneOff(int zone) { return SetZoneEffect(zone, {0}); }

bool Feature8070ColorLEDEffects::SetAllZonesEffect(int zones, const Bytes& effect) {
  for (int zone = 0; zone < zones; ++zone)
    if (!SetZoneEffect(zone, effect)) return false;
  return true;
}

void Feature8070ColorLEDEffects::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature8070ColorLEDEffects::Report::onSyncReport", &Report::onSyncReport, payload);
}

}  // namespace devio
