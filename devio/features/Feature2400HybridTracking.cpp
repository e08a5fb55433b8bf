#include "devio/features/Feature2400HybridTracking.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2400HybridTracking::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2400HybridTracking>(Feature2400HybridTracking::Id);

enum Function : int {
  IsHybridEngineEnabledFunction = 0,
  EnableHybridEngineFunction = 1,
  GetHybridReportingModeFunction = 2,
  SetHybridReportingModeFunction = 3,
};
}  // namespace

IFeatureForceInclusion2400::IFeatureForceInclusion2400() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2400HybridTracking",
                     "devio::IFeatureForceInclusion2400::IFeatureForceInclusion2400", "Devio: Feature2400 included");
}

Feature2400HybridTracking::Feature2400HybridTracking(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2400HybridTracking::IsHybridEngineEnabled(bool* enabled) {
  Bytes p;
  if (!query(IsHybridEngineEnabledFunction, {}, 1, p)) return false;
  store(enabled, p[0] != 0);
  return true;
}

bool Feature2400HybridTracking::EnableHybridEngine(bool enabled) {
  return change(FN(EnableHybridEngine), EnableHybridEngineFunction, {Byte{enabled}});
}

bool Feature2400HybridTracking::GetHybridReportingMode(int* mode) {
  Bytes p;
  if (!query(GetHybridReportingModeFunction, {}, 1, p)) return false;
  store(mode, p[0]);
  return true;
}

bool Feature2400HybridTracking::SetHybridReportingMode(int mode) {
  return change(FN(SetHybridReportingMode), SetHybridReportingModeFunction, {lowByte(mode)});
}

void Feature2400HybridTracking::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature2400HybridTracking::Report::onHybridRawData", &Report::onHybridRawData, payload);
  if (function == 1 && payload.size() >= 4)
    fire("Feature2400HybridTracking::Report::onHybridStateChange", &Report::onHybridStateChange,
         HybridReporting::SpeedInfo{bigEndian16(payload, 0), bigEndian16(payload, 2)});
}

}  // namespace devio
