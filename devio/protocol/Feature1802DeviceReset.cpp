#include "devio/protocol/Feature1802DeviceReset.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1802DeviceReset>(Feature1802DeviceReset::Id);

constexpr int ForceDeviceResetFunction = 0;
}  // namespace

IFeatureForceInclusion1802::IFeatureForceInclusion1802() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog("Feature1802DeviceReset", LogDebug, "devio::IFeatureForceInclusion1802::IFeatureForceInclusion1802",
         "Devio: Feature1802 included");
}

Feature1802DeviceReset::Feature1802DeviceReset(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

void Feature1802DeviceReset::forceDeviceReset() {
  Bytes payload;
  if (!sendFeatureCommand(ForceDeviceResetFunction, {}, payload, false))
    xLog("Feature1802DeviceReset", LogDebug, "devio::Feature1802DeviceReset::forceDeviceReset",
         "Feature1802DeviceReset::forceDeviceReset failed");
}

}  // namespace devio
