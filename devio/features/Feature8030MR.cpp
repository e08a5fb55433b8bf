#include "devio/features/Feature8030MR.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8030MR>(Feature8030MR::Id);

enum Function : int {
  SetLEDFunction = 0,
};
}  // namespace

IFeatureForceInclusion8030::IFeatureForceInclusion8030() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8030MR", "devio::IFeatureForceInclusion8030::IFeatureForceInclusion8030",
                     "Devio: Feature8030 included");
}

Feature8030MR::Feature8030MR(int index, std::weak_ptr<IDevice> device) : Feature(Id, index, std::move(device)) {}

bool Feature8030MR::SetLED(bool on) { return command(SetLEDFunction, {Byte{on}}); }

void Feature8030MR::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature8030MR::Report::onButtonReport", &Report::onButtonReport, payload[0] != 0);
}

}  // namespace devio
