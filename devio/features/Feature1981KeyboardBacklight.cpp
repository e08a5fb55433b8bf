#include "devio/features/Feature1981KeyboardBacklight.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1981KeyboardBacklight::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1981KeyboardBacklight>(Feature1981KeyboardBacklight::Id);

enum Function : int {
  GetBacklightDurationFunction = 0,
  SetBacklightDurationFunction = 1,
};
}  // namespace

IFeatureForceInclusion1981::IFeatureForceInclusion1981() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1981KeyboardBacklight",
                     "devio::IFeatureForceInclusion1981::IFeatureForceInclusion1981", "Devio: Feature1981 included");
}

Feature1981KeyboardBacklight::Feature1981KeyboardBacklight(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1981KeyboardBacklight::GetBacklightDuration(int* level, int* duration, int* status) {
  Bytes p;
  if (!query(GetBacklightDurationFunction, {}, 3, p)) return false;
  store(level, p[0]);
  store(duration, p[1]);
  store(status, p[2]);
  return true;
}

bool Feature1981KeyboardBacklight::SetBacklightDuration(int level, int duration) {
  return change(FN(SetBacklightDuration), SetBacklightDurationFunction, {lowByte(level), lowByte(duration)});
}

void Feature1981KeyboardBacklight::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature1981KeyboardBacklight::Report::onBacklightChangeEvent", &Report::onBacklightChangeEvent,
         short{payload[0]}, short{payload[1]}, short{payload[2]});
}

}  // namespace devio
