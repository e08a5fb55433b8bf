#include "devio/features/Feature1001BatteryVoltage.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1001BatteryVoltage>(Feature1001BatteryVoltage::Id);

enum Function : int {
  GetBatteryVoltageFunction = 0,
  ShowBatteryStatusFunction = 1,
};

IFeature1001BatteryVoltage::BatteryInfo decode(const Bytes& payload) {
  return {(unsigned{payload[0]} << 8) | payload[1], payload[2]};
}
}  // namespace

IFeatureForceInclusion1001::IFeatureForceInclusion1001() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1001BatteryVoltage",
                     "devio::IFeatureForceInclusion1001::IFeatureForceInclusion1001", "Devio: Feature1001 included");
}

Feature1001BatteryVoltage::Feature1001BatteryVoltage(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1001BatteryVoltage::GetBatteryVoltage(BatteryInfo* info) {
  Bytes p;
  if (!query(GetBatteryVoltageFunction, {}, 3, p)) return false;
  store(info, decode(p));
  return true;
}

bool Feature1001BatteryVoltage::ShowBatteryStatus() { return command(ShowBatteryStatusFunction, {}); }

void Feature1001BatteryVoltage::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature1001BatteryVoltage::Report::OnBatteryInfoChange", &Report::OnBatteryInfoChange, decode(payload));
}

}  // namespace devio
