#include "devio/features/Feature1805OOBState.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1805OOBState>(Feature1805OOBState::Id);

enum Function : int {
  SetOobStateFunction = 0,
};
}  // namespace

IFeatureForceInclusion1805::IFeatureForceInclusion1805() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1805OOBState", "devio::IFeatureForceInclusion1805::IFeatureForceInclusion1805",
                     "Devio: Feature1805 included");
}

Feature1805OOBState::Feature1805OOBState(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1805OOBState::SetOobState() { return command(SetOobStateFunction, {}); }

}  // namespace devio
