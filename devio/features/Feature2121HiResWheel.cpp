#include "devio/features/Feature2121HiResWheel.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2121HiResWheel::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2121HiResWheel>(Feature2121HiResWheel::Id);

enum Function : int {
  GetWheelCapabilityFunction = 0,
  GetWheelModeFunction = 1,
  SetWheelModeFunction = 2,
  GetRatchetSwitchStateFunction = 3,
};

Byte wheelMode(bool target, bool hiRes, bool inverted) {
  return static_cast<Byte>(Byte{target} | Byte{hiRes} << 1 | Byte{inverted} << 2);
}
}  // namespace

IFeatureForceInclusion2121::IFeatureForceInclusion2121() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2121HiResWheel", "devio::IFeatureForceInclusion2121::IFeatureForceInclusion2121",
                     "Devio: Feature2121 included");
}

Feature2121HiResWheel::Feature2121HiResWheel(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2121HiResWheel::GetWheelCapability(int* multiplier, bool* hasSwitch, bool* canInvert) {
  Bytes p;
  if (!query(GetWheelCapabilityFunction, {}, 2, p, true)) return false;
  store(multiplier, p[0]);
  store(hasSwitch, (p[1] & 4) != 0);
  store(canInvert, (p[1] & 8) != 0);
  return true;
}

bool Feature2121HiResWheel::GetWheelMode(bool* target, bool* hiRes) { return GetWheelMode(target, hiRes, nullptr); }

bool Feature2121HiResWheel::GetWheelMode(bool* target, bool* hiRes, bool* inverted) {
  Bytes p;
  if (!query(GetWheelModeFunction, {}, 1, p)) return false;
  store(target, (p[0] & 1) != 0);
  store(hiRes, (p[0] & 2) != 0);
  store(inverted, (p[0] & 4) != 0);
  return true;
}

bool Feature2121HiResWheel::SetWheelMode(bool target, bool hiRes) { return SetWheelMode(target, hiRes, false); }

bool Feature2121HiResWheel::SetWheelMode(bool target, bool hiRes, bool inverted) {
  return change(FN(SetWheelMode), SetWheelModeFunction, {wheelMode(target, hiRes, inverted)});
}

bool Feature2121HiResWheel::GetRatchetSwitchState(bool* ratchet) {
  Bytes p;
  if (!query(GetRatchetSwitchStateFunction, {}, 1, p)) return false;
  store(ratchet, p[0] != 0);
  return true;
}

void Feature2121HiResWheel::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 5)
    fire("Feature2121HiResWheel::Report::onWheelMovement", &Report::onWheelMovement, (payload[0] & 0x10) != 0,
         unsigned{payload[0] & 0x0Fu}, signed16(payload, 1), signed16(payload, 3));
  if (function == 1 && !payload.empty())
    fire("Feature2121HiResWheel::RatchetSwitch::onRatchetSwitch", &RatchetSwitch::onRatchetSwitch, payload[0] != 0);
}

void Feature2121HiResWheel::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetWheelModeFunction, 1))
    fire("Feature2121HiResWheel::SettingChange::onSettingChange", &SettingChange::onSettingChange, swid,
         (payload[0] & 1) != 0, (payload[0] & 2) != 0, (payload[0] & 4) != 0, 0u, 0u);
}

}  // namespace devio
