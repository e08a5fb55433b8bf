#include "devio/features/Feature4530DualPlatform.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature4530DualPlatform::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature4530DualPlatform>(Feature4530DualPlatform::Id);

enum Function : int {
  GetPlatformFunction = 0,
  SetPlatformFunction = 1,
};
}  // namespace

IFeatureForceInclusion4530::IFeatureForceInclusion4530() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4530DualPlatform", "devio::IFeatureForceInclusion4530::IFeatureForceInclusion4530",
                     "Devio: Feature4530 included");
}

Feature4530DualPlatform::Feature4530DualPlatform(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4530DualPlatform::GetPlatform(int* platform) {
  Bytes p;
  if (!query(GetPlatformFunction, {}, 1, p)) return false;
  store(platform, p[0]);
  return true;
}

bool Feature4530DualPlatform::SetPlatform(int platform) {
  return change(FN(SetPlatform), SetPlatformFunction, {lowByte(platform)});
}

void Feature4530DualPlatform::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature4530DualPlatform::Report::onPlatformChangeEvent", &Report::onPlatformChangeEvent, short{payload[0]});
}

}  // namespace devio
