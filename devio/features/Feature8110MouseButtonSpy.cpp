#include "devio/features/Feature8110MouseButtonSpy.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8110MouseButtonSpy::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8110MouseButtonSpy>(Feature8110MouseButtonSpy::Id);

enum Function : int {
  GetButtonCountFunction = 0,
  StartSpyFunction = 1,
  StopSpyFunction = 2,
  GetRemappingFunction = 3,
  SetRemappingFunction = 4,
};
}  // namespace

IFeatureForceInclusion8110::IFeatureForceInclusion8110() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8110MouseButtonSpy",
                     "devio::IFeatureForceInclusion8110::IFeatureForceInclusion8110", "Devio: Feature8110 included");
}

Feature8110MouseButtonSpy::Feature8110MouseButtonSpy(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8110MouseButtonSpy::GetButtonCount(int* count) {
  Bytes p;
  if (!query(GetButtonCountFunction, {}, 1, p)) return false;
  store(count, p[0]);
  return true;
}

bool Feature8110MouseButtonSpy::StartSpy() { return command(StartSpyFunction, {}); }

bool Feature8110MouseButtonSpy::StopSpy() { return command(StopSpyFunction, {}); }

bool Feature8110MouseButtonSpy::GetRemapping(Bytes* remapping) {
  Bytes p;
  if (!query(GetRemappingFunction, {}, 0, p)) return false;
  store(remapping, p);
  return true;
}

bool Feature8110MouseButtonSpy::SetRemapping(const Bytes& remapping) {
  return change(FN(SetRemapping), SetRemappingFunction, remapping);
}

void Feature8110MouseButtonSpy::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 2)
    fire("Feature8110MouseButtonSpy::Report::onButtonReport", &Report::onButtonReport,
         static_cast<unsigned short>(bigEndian16(payload, 0)));
}

}  // namespace devio
