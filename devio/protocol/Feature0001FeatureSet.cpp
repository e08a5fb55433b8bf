#include "devio/protocol/Feature0001FeatureSet.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature0001FeatureSet>(Feature0001FeatureSet::Id);

constexpr int GetCountFunction = 0;
constexpr int GetFeatureIdFunction = 1;
}  // namespace

IFeatureForceInclusion0001::IFeatureForceInclusion0001() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog("Feature0001FeatureSet", LogDebug, "devio::IFeatureForceInclusion0001::IFeatureForceInclusion0001",
         "Devio: Feature0001 included");
}

Feature0001FeatureSet::Feature0001FeatureSet(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature0001FeatureSet::GetCount(int* count) {
  Bytes payload;
  if (!sendFeatureCommand(GetCountFunction, {}, payload, true)) return false;
  if (payload.empty()) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(count, payload[0]);
  xLog("Feature0001FeatureSet", LogInfo, "devio::Feature0001FeatureSet::GetCount",
       "Feature0001FeatureSet::GetCount(* count = %d)", payload[0]);
  return true;
}

bool Feature0001FeatureSet::GetFeatureID(int featureIndex, unsigned* featureID, bool* engineeringHidden, bool* swHidden,
                                         bool* obsolete, int* version) {
  Bytes payload;
  if (!sendFeatureCommand(GetFeatureIdFunction, {static_cast<Byte>(featureIndex)}, payload, true)) return false;
  payload.resize(4);
  const unsigned id = bigEndian16(payload, 0);
  const Byte flags = payload[2];
  store(featureID, id);
  store(engineeringHidden, (flags & 0x20) != 0);
  store(swHidden, (flags & 0x40) != 0);
  store(obsolete, (flags & 0x80) != 0);
  store(version, payload[3]);
  xLog("Feature0001FeatureSet", LogInfo, "devio::Feature0001FeatureSet::GetFeatureID",
       "Feature0001FeatureSet::GetFeatureID(featureIndex = %d, *featureID = 0x%08x, *engineeringHidden = %d, "
       "*swHidden = %d, *obsolete = %d, *version = %d)",
       featureIndex, id, (flags & 0x20) != 0, (flags & 0x40) != 0, (flags & 0x80) != 0, payload[3]);
  return true;
}

}  // namespace devio
