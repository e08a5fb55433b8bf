#include "devio/features/Feature1B00SpecialKeys.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1B00SpecialKeys>(Feature1B00SpecialKeys::Id);

enum Function : int {
  GetControlCountFunction = 0,
  GetControlInfoFunction = 1,
};
}  // namespace

IFeatureForceInclusion1B00::IFeatureForceInclusion1B00() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1B00SpecialKeys", "devio::IFeatureForceInclusion1B00::IFeatureForceInclusion1B00",
                     "Devio: Feature1B00 included");
}

Feature1B00SpecialKeys::Feature1B00SpecialKeys(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1B00SpecialKeys::GetControlCount(int* count) {
  Bytes p;
  if (!query(GetControlCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

bool Feature1B00SpecialKeys::GetControlInfo(int index, ControlInfo* info) {
  Bytes p;
  if (!query(GetControlInfoFunction, {lowByte(index)}, 5, p, true)) return false;
  store(info, controlInfoOf(p));
  return true;
}

void Feature1B00SpecialKeys::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= KeyChangeLength)
    fire("Feature1B00SpecialKeys::KeyReport::onKeyChange", &KeyReport::onKeyChange, bigEndian16List(payload, 4));
}

}  // namespace devio
