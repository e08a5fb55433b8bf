#include "devio/features/Feature4531MultiPlatform.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature4531MultiPlatform::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature4531MultiPlatform>(Feature4531MultiPlatform::Id);

enum Function : int {
  GetFeatureInfosFunction = 0,
  GetPlatformDescriptorFunction = 1,
  GetHostPlatformFunction = 2,
  SetHostPlatformFunction = 3,
};
}  // namespace

IFeatureForceInclusion4531::IFeatureForceInclusion4531() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4531MultiPlatform",
                     "devio::IFeatureForceInclusion4531::IFeatureForceInclusion4531", "Devio: Feature4531 included");
}

Feature4531MultiPlatform::Feature4531MultiPlatform(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4531MultiPlatform::GetFeatureInfos(int* flags, int* platforms, int* descriptors) {
  Bytes p;
  if (!query(GetFeatureInfosFunction, {}, 3, p)) return false;
  store(flags, p[0]);
  store(platforms, p[1]);
  store(descriptors, p[2]);
  return true;
}

bool Feature4531MultiPlatform::GetPlatformDescriptor(int index, int* platform, int* osMask) {
  Bytes p;
  if (!query(GetPlatformDescriptorFunction, {lowByte(index)}, 4, p)) return false;
  store(platform, p[1]);
  store(osMask, bigEndian16(p, 2));
  return true;
}

bool Feature4531MultiPlatform::GetHostPlatform(int host, int* platform, int* source) {
  Bytes p;
  if (!query(GetHostPlatformFunction, {lowByte(host)}, 3, p)) return false;
  store(platform, p[1]);
  store(source, p[2]);
  return true;
}

bool Feature4531MultiPlatform::setHostPlatform(int host, int platform) {
  return change(FN(setHostPlatform), SetHostPlatformFunction, {lowByte(host), lowByte(platform)});
}

void Feature4531MultiPlatform::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature4531MultiPlatform::Report::onPlatformChangeEvent", &Report::onPlatformChangeEvent, short{payload[0]},
         short{payload[1]}, short{payload[2]});
}

}  // namespace devio
