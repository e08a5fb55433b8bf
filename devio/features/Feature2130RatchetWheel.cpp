#include "devio/features/Feature2130RatchetWheel.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2130RatchetWheel::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2130RatchetWheel>(Feature2130RatchetWheel::Id);

enum Function : int {
  GetWheelModeFunction = 0,
  SetWheelModeFunction = 1,
};
}  // namespace

IFeatureForceInclusion2130::IFeatureForceInclusion2130() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2130RatchetWheel", "devio::IFeatureForceInclusion2130::IFeatureForceInclusion2130",
                     "Devio: Feature2130 included");
}

Feature2130RatchetWheel::Feature2130RatchetWheel(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2130RatchetWheel::GetWheelMode(int* mode) {
  Bytes p;
  if (!query(GetWheelModeFunction, {}, 1, p)) return false;
  store(mode, p[0]);
  return true;
}

bool Feature2130RatchetWheel::SetWheelMode(int mode) {
  return change(FN(SetWheelMode), SetWheelModeFunction, {lowByte(mode)});
}

void Feature2130RatchetWheel::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 4)
    fire("Feature2130RatchetWheel::Report::onWheelMovement", &Report::onWheelMovement, signed16(payload, 0),
         signed16(payload, 2));
}

}  // namespace devio
