#include "devio/features/Feature8060ReportRate.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8060ReportRate::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8060ReportRate>(Feature8060ReportRate::Id);

enum Function : int {
  GetReportRateListFunction = 0,
  GetReportRateFunction = 1,
  SetReportRateFunction = 2,
};
}  // namespace

IFeatureForceInclusion8060::IFeatureForceInclusion8060() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8060ReportRate", "devio::IFeatureForceInclusion8060::IFeatureForceInclusion8060",
                     "Devio: Feature8060 included");
}

Feature8060ReportRate::Feature8060ReportRate(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8060ReportRate::GetReportRateList(int* rates) {
  Bytes p;
  if (!query(GetReportRateListFunction, {}, 1, p)) return false;
  store(rates, p[0]);
  return true;
}

bool Feature8060ReportRate::GetReportRate(int* interval) {
  Bytes p;
  if (!query(GetReportRateFunction, {}, 1, p)) return false;
  store(interval, p[0]);
  return true;
}

bool Feature8060ReportRate::SetReportRate(int interval) {
  return change(FN(SetReportRate), SetReportRateFunction, {lowByte(interval)});
}

}  // namespace devio
