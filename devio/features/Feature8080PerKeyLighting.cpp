#include "devio/features/Feature8080PerKeyLighting.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8080PerKeyLighting>(Feature8080PerKeyLighting::Id);

enum Function : int {
  GetInfoFunction = 0,
  SetIndividualKeysFunction = 1,
  SetKeyRangeFunction = 2,
  SetConsecutiveKeysFunction = 3,
  SetSameColorKeysFunction = 4,
  FrameEndFunction = 5,
};

Byte colorByte(int color, int shift) { return static_cast<Byte>(color >> shift); }

Bytes withKey(int key, const Bytes& data) {
  Bytes params{static_cast<Byte>(key)};
  params.insert(params.end(), data.begin(), data.end());
  return params;
}

Bytes withColor(int color, const Bytes& keys) {
  Bytes params{colorByte(color, 16), colorByte(color, 8), colorByte(color, 0)};
  params.insert(params.end(), keys.begin(), keys.end());
  return params;
}
}  // namespace

IFeatureForceInclusion8080::IFeatureForceInclusion8080() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8080PerKeyLighting",
                     "devio::IFeatureForceInclusion8080::IFeatureForceInclusion8080", "Devio: Feature8080 included");
}

Feature8080PerKeyLighting::Feature8080PerKeyLighting(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8080PerKeyLighting::GetInfo(int type, Bytes* info) {
  Bytes p;
  if (!query(GetInfoFunction, {lowByte(type)}, 1, p)) return false;
  store(info, Bytes(p.begin() + 1, p.end()));
  return true;
}

bool Feature8080PerKeyLighting::SetIndividualKeys(const Bytes& keyColors) {
  return command(SetIndividualKeysFunction, keyColors);
}

bool Feature8080PerKeyLighting::SetKeyRange(int first, int last, int color) {
  return command(SetKeyRangeFunction,
                 {lowByte(first), lowByte(last), colorByte(color, 16), colorByte(color, 8), colorByte(color, 0)});
}

bool Feature8080PerKeyLighting::SetKeyColor(int key, int color) { return SetKeyRange(key, key, color); }

bool Feature8080PerKeyLighting::SetConsecutiveKeys(int first, const Bytes& colors) {
  return command(SetConsecutiveKeysFunction, withKey(first, colors));
}

bool Feature8080PerKeyLighting::SetSameColorKeys(int color, const Bytes& keys) {
  return command(SetSameColorKeysFunction, withColor(color, keys));
}

bool Feature8080PerKeyLighting::FrameEnd(bool persist, int frame) {
  return command(FrameEndFunction, {Byte{persist}, highByte(frame), lowByte(frame)});
}

bool Feature8080PerKeyLighting::FrameEnd() { return FrameEnd(false, 0); }

}  // namespace devio
