#include "devio/features/Feature4522DisableKeysByUsage.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature4522DisableKeysByUsage::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature4522DisableKeysByUsage>(Feature4522DisableKeysByUsage::Id);

enum Function : int {
  GetCapabilitiesFunction = 0,
  DisableKeysFunction = 1,
  EnableKeysFunction = 2,
  EnableAllKeysFunction = 3,
};

Bytes usageBytes(const std::vector<int>& usages) {
  Bytes params(usages.size());
  std::transform(usages.begin(), usages.end(), params.begin(), [](int usage) { return static_cast<Byte>(usage); });
  return params;
}
}  // namespace

IFeatureForceInclusion4522::IFeatureForceInclusion4522() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4522DisableKeysByUsage",
                     "devio::IFeatureForceInclusion4522::IFeatureForceInclusion4522", "Devio: Feature4522 included");
}

Feature4522DisableKeysByUsage::Feature4522DisableKeysByUsage(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4522DisableKeysByUsage::GetCapabilities(int* maxKeys) {
  Bytes p;
  if (!query(GetCapabilitiesFunction, {}, 1, p)) return false;
  store(maxKeys, p[0]);
  return true;
}

bool Feature4522DisableKeysByUsage::DisableKeys(const std::vector<int>& usages) {
  return change(FN(DisableKeys), DisableKeysFunction, usageBytes(usages));
}

bool Feature4522DisableKeysByUsage::EnableKeys(const std::vector<int>& usages) {
  return change(FN(EnableKeys), EnableKeysFunction, usageBytes(usages));
}

bool Feature4522DisableKeysByUsage::EnableAllKeys() { return change(FN(EnableAllKeys), EnableAllKeysFunction, {}); }

}  // namespace devio
