#include "devio/features/Feature40A3FnInversion.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature40A3FnInversion::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature40A3FnInversion>(Feature40A3FnInversion::Id);

enum Function : int {
  GetGlobalFnInversionFunction = 0,
  SetGlobalFnInversionFunction = 1,
};
}  // namespace

IFeatureForceInclusion40A3::IFeatureForceInclusion40A3() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature40A3FnInversion", "devio::IFeatureForceInclusion40A3::IFeatureForceInclusion40A3",
                     "Devio: Feature40A3 included");
}

Feature40A3FnInversion::Feature40A3FnInversion(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature40A3FnInversion::GetGlobalFnInversion(bool* inverted, bool* defaultInverted, bool* locked) {
  Bytes p;
  if (!query(GetGlobalFnInversionFunction, {}, 3, p)) return false;
  store(inverted, p[0] != 0);
  store(defaultInverted, p[1] != 0);
  store(locked, p[2] != 0);
  return true;
}

bool Feature40A3FnInversion::SetGlobalFnInversion(bool inverted) {
  return change(FN(SetGlobalFnInversion), SetGlobalFnInversionFunction, {Byte{inverted}});
}

void Feature40A3FnInversion::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 4)
    fire("Feature40A3FnInversion::Report::onFLockChange", &Report::onFLockChange, short{payload[0]}, payload[1] != 0,
         payload[2] != 0, int{payload[3]});
}

}  // namespace devio
