#include "devio/features/Feature1BC0ReportHIDUsages.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1BC0ReportHIDUsages::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1BC0ReportHIDUsages>(Feature1BC0ReportHIDUsages::Id);

enum Function : int {
  SetReportingFunction = 1,
  GetReportingFunction = 2,
};
}  // namespace

IFeatureForceInclusion1BC0::IFeatureForceInclusion1BC0() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1BC0ReportHIDUsages",
                     "devio::IFeatureForceInclusion1BC0::IFeatureForceInclusion1BC0", "Devio: Feature1BC0 included");
}

Feature1BC0ReportHIDUsages::Feature1BC0ReportHIDUsages(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1BC0ReportHIDUsages::DisableReporting() { return SetReporting(false); }

bool Feature1BC0ReportHIDUsages::SetReporting(bool enabled) {
  return change(FN(SetReporting), SetReportingFunction, {Byte{enabled}});
}

bool Feature1BC0ReportHIDUsages::GetReporting(bool* enabled) {
  Bytes p;
  if (!query(GetReportingFunction, {}, 1, p)) return false;
  store(enabled, p[0] != 0);
  return true;
}

void Feature1BC0ReportHIDUsages::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 5)
    fire("Feature1BC0ReportHIDUsages::Report::OnUsageEvent", &Report::OnUsageEvent,
         UsagePackage{bigEndian16(payload, 0), bigEndian16(payload, 2), payload[4] != 0});
}

}  // namespace devio
