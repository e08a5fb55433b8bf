#include "devio/features/Feature1D4BWirelessStatus.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1D4BWirelessStatus>(Feature1D4BWirelessStatus::Id);
}  // namespace

IFeatureForceInclusion1D4B::IFeatureForceInclusion1D4B() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1D4BWirelessStatus",
                     "devio::IFeatureForceInclusion1D4B::IFeatureForceInclusion1D4B", "Devio: Feature1D4B included");
}

Feature1D4BWirelessStatus::Feature1D4BWirelessStatus(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

void Feature1D4BWirelessStatus::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature1D4BWirelessStatus::Report::onWirelessStatusEvent", &Report::onWirelessStatusEvent, payload[0] == 1,
         payload[1] == 1, payload[2] == 1);
}

}  // namespace devio
