#include "devio/features/Feature8123ForceFeedback.h"

#include <atomic>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8123ForceFeedback::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8123ForceFeedback>(Feature8123ForceFeedback::Id);

enum Function : int {
  GetInfoFunction = 0,
  ResetAllFunction = 1,
  DownloadEffectFunction = 2,
  SetEffectStateFunction = 3,
  GetEffectFunction = 4,
  SetGlobalGainFunction = 5,
  GetGlobalGainFunction = 6,
  SetApertureFunction = 7,
  GetApertureFunction = 8,
};

// Effect types of function 2.
enum EffectType : Byte { ConstantForce = 0, Periodic = 1, Spring = 2 };
}  // namespace

IFeatureForceInclusion8123::IFeatureForceInclusion8123() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8123ForceFeedback",
                     "devio::IFeatureForceInclusion8123::IFeatureForceInclusion8123", "Devio: Feature8123 included");
}

Feature8123ForceFeedback::Feature8123ForceFeedback(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8123ForceFeedback::GetInfo(int* slots, int* flags) {
  Bytes p;
  if (!query(GetInfoFunction, {}, 2, p)) return false;
  store(slots, p[0]);
  store(flags, p[1]);
  return true;
}

bool Feature8123ForceFeedback::ResetAll() { return command(ResetAllFunction, {}); }

bool Feature8123ForceFeedback::DownloadEffect(const Bytes& effect, int* slot) {
  Bytes p;
  if (!query(DownloadEffectFunction, effect, 1, p)) return false;
  store(slot, p[0]);
  return true;
}

bool Feature8123ForceFeedback::DownloadConstantForce(int level, int duration, int* slot) {
  return DownloadEffect({ConstantForce, highByte(level), lowByte(level), highByte(duration), lowByte(duration)}, slot);
}

bool Feature8123ForceFeedback::DownloadPeriodic(int waveform, int magnitude, int period, int duration, int* slot) {
  return DownloadEffect({Periodic, lowByte(waveform), highByte(magnitude), lowByte(magnitude), highByte(period),
                         lowByte(period), highByte(duration), lowByte(duration)},
                        slot);
}

bool Feature8123ForceFeedback::DownloadSpring(int coefficient, int* slot) {
  return DownloadEffect({Spring, highByte(coefficient), lowByte(coefficient)}, slot);
}

bool Feature8123ForceFeedback::SetEffectState(int slot, int state) {
  return command(SetEffectStateFunction, {lowByte(slot), lowByte(state)});
}

bool Feature8123ForceFeedback::GetEffect(int slot, Bytes* effect) {
  Bytes p;
  if (!query(GetEffectFunction, {lowByte(slot)}, 1, p)) return false;
  store(effect, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature8123ForceFeedback::SetGlobalGain(int gain) {
  return change(FN(SetGlobalGain), SetGlobalGainFunction, {highByte(gain), lowByte(gain)});
}

bool Feature8123ForceFeedback::GetGlobalGain(int* gain) {
  Bytes p;
  if (!query(GetGlobalGainFunction, {}, 2, p)) return false;
  store(gain, bigEndian16(p, 0));
  return true;
}

bool Feature8123ForceFeedback::SetAperture(int aperture) {
  return change(FN(SetAperture), SetApertureFunction, {highByte(aperture), lowByte(aperture)});
}

bool Feature8123ForceFeedback::GetAperture(int* aperture) {
  Bytes p;
  if (!query(GetApertureFunction, {}, 2, p)) return false;
  store(aperture, bigEndian16(p, 0));
  return true;
}

void Feature8123ForceFeedback::onFeatureReport(int function, const Bytes& payload) {
  if (function != 0 || payload.empty()) return;
  std::vector<unsigned> slots;
  for (Byte slot : payload)
    if (slot != 0) slots.push_back(slot);
  fire("Feature8123ForceFeedback::ForceNotification::onExpiredForces", &ForceNotification::onExpiredForces, slots);
}

}  // namespace devio
