#include "devio/features/Feature2230AngleSnapping.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2230AngleSnapping::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2230AngleSnapping>(Feature2230AngleSnapping::Id);

enum Function : int {
  GetAngleSnappingFunction = 0,
  SetAngleSnappingFunction = 1,
};
}  // namespace

IFeatureForceInclusion2230::IFeatureForceInclusion2230() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2230AngleSnapping",
                     "devio::IFeatureForceInclusion2230::IFeatureForceInclusion2230", "Devio: Feature2230 included");
}

Feature2230AngleSnapping::Feature2230AngleSnapping(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2230AngleSnapping::GetAngleSnapping(bool* enabled) {
  Bytes p;
  if (!query(GetAngleSnappingFunction, {}, 1, p)) return false;
  store(enabled, p[0] != 0);
  return true;
}

bool Feature2230AngleSnapping::SetAngleSnapping(bool enabled) {
  return change(FN(SetAngleSnapping), SetAngleSnappingFunction, {Byte{enabled}});
}

}  // namespace devio
