#include "devio/features/Feature8300Sidetone.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8300Sidetone::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8300Sidetone>(Feature8300Sidetone::Id);

enum Function : int {
  GetSidetoneLevelFunction = 0,
  SetSidetoneLevelFunction = 1,
};
}  // namespace

IFeatureForceInclusion8300::IFeatureForceInclusion8300() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8300Sidetone", "devio::IFeatureForceInclusion8300::IFeatureForceInclusion8300",
                     "Devio: Feature8300 included");
}

Feature8300Sidetone::Feature8300Sidetone(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8300Sidetone::getSidetoneLevel(int* level) {
  Bytes p;
  if (!query(GetSidetoneLevelFunction, {}, 1, p)) return false;
  store(level, p[0]);
  return true;
}

bool Feature8300Sidetone::setSidetoneLevel(int level) {
  return change(FN(setSidetoneLevel), SetSidetoneLevelFunction, {lowByte(level)});
}

}  // namespace devio
