#include "devio/features/Feature4540KBLayout.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature4540KBLayout>(Feature4540KBLayout::Id);

enum Function : int {
  GetKeyboardLayoutFunction = 0,
};
}  // namespace

IFeatureForceInclusion4540::IFeatureForceInclusion4540() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4540KBLayout", "devio::IFeatureForceInclusion4540::IFeatureForceInclusion4540",
                     "Devio: Feature4540 included");
}

Feature4540KBLayout::Feature4540KBLayout(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4540KBLayout::GetKeyboardLayout(int* layout) {
  Bytes p;
  if (!query(GetKeyboardLayoutFunction, {}, 1, p, true)) return false;
  store(layout, p[0]);
  return true;
}

}  // namespace devio
