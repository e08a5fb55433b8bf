#include "devio/features/Feature8111LatencyMonitoring.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature8111LatencyMonitoring>(Feature8111LatencyMonitoring::Id);
}  // namespace

IFeatureForceInclusion8111::IFeatureForceInclusion8111() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8111LatencyMonitoring",
                     "devio::IFeatureForceInclusion8111::IFeatureForceInclusion8111", "Devio: Feature8111 included");
}

Feature8111LatencyMonitoring::Feature8111LatencyMonitoring(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

void Feature8111LatencyMonitoring::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature8111LatencyMonitoring::Report::onLatencyEvent", &Report::onLatencyEvent,
         LatencyEventInfo{payload[0], bigEndian16(payload, 1)});
}

}  // namespace devio
