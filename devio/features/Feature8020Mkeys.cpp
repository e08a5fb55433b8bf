#include "devio/features/Feature8020Mkeys.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8020Mkeys>(Feature8020Mkeys::Id);

enum Function : int {
  GetCountFunction = 0,
  SetLEDsFunction = 1,
};
}  // namespace

IFeatureForceInclusion8020::IFeatureForceInclusion8020() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8020Mkeys", "devio::IFeatureForceInclusion8020::IFeatureForceInclusion8020",
                     "Devio: Feature8020 included");
}

Feature8020Mkeys::Feature8020Mkeys(int index, std::weak_ptr<IDevice> device) : Feature(Id, index, std::move(device)) {}

bool Feature8020Mkeys::GetCount(int* count) {
  Bytes p;
  if (!query(GetCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

bool Feature8020Mkeys::SetLEDs(int mask) { return command(SetLEDsFunction, {lowByte(mask)}); }

void Feature8020Mkeys::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature8020Mkeys::Report::onButtonReport", &Report::onButtonReport, payload[0]);
}

}  // namespace devio
