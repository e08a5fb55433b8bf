#include "devio/features/Feature1000BatteryUnifiedLeveStatus.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1000BatteryUnifiedLeveStatus>(Feature1000BatteryUnifiedLeveStatus::Id);

enum Function : int {
  GetBatteryLevelStatusFunction = 0,
  GetBatteryCapabilityFunction = 1,
};
}  // namespace

IFeatureForceInclusion1000::IFeatureForceInclusion1000() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1000BatteryUnifiedLeveStatus",
                     "devio::IFeatureForceInclusion1000::IFeatureForceInclusion1000", "Devio: Feature1000 included");
}

Feature1000BatteryUnifiedLeveStatus::Feature1000BatteryUnifiedLeveStatus(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1000BatteryUnifiedLeveStatus::GetBatteryLevelStatus(int* level, int* nextLevel, int* status) {
  Bytes p;
  if (!query(GetBatteryLevelStatusFunction, {}, 3, p)) return false;
  store(level, p[0]);
  store(nextLevel, p[1]);
  store(status, p[2]);
  return true;
}

bool Feature1000BatteryUnifiedLeveStatus::GetBatteryCapability(int* levels, int* flags) {
  Bytes p;
  if (!query(GetBatteryCapabilityFunction, {}, 2, p, true)) return false;
  store(levels, p[0]);
  store(flags, p[1]);
  return true;
}

void Feature1000BatteryUnifiedLeveStatus::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature1000BatteryUnifiedLeveStatus::Report::onBatteryLevelStatus", &Report::onBatteryLevelStatus,
         short{payload[0]}, short{payload[1]}, short{payload[2]});
}

}  // namespace devio
