#include "devio/features/Feature1E00EnableHiddenFeatures.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1E00EnableHiddenFeatures::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1E00EnableHiddenFeatures>(Feature1E00EnableHiddenFeatures::Id);

enum Function : int {
  GetEnableHiddenFeaturesFunction = 0,
  SetEnableHiddenFeaturesFunction = 1,
};
}  // namespace

IFeatureForceInclusion1E00::IFeatureForceInclusion1E00() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1E00EnableHiddenFeatures",
                     "devio::IFeatureForceInclusion1E00::IFeatureForceInclusion1E00", "Devio: Feature1E00 included");
}

Feature1E00EnableHiddenFeatures::Feature1E00EnableHiddenFeatures(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1E00EnableHiddenFeatures::GetEnableHiddenFeatures(bool* enabled) {
  Bytes p;
  if (!query(GetEnableHiddenFeaturesFunction, {}, 1, p)) return false;
  store(enabled, p[0] != 0);
  return true;
}

bool Feature1E00EnableHiddenFeatures::SetEnableHiddenFeatures(bool enabled) {
  return change(FN(SetEnableHiddenFeatures), SetEnableHiddenFeaturesFunction, {Byte{enabled}});
}

}  // namespace devio
