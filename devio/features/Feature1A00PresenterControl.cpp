#include "devio/features/Feature1A00PresenterControl.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1A00PresenterControl::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1A00PresenterControl>(Feature1A00PresenterControl::Id);

enum Function : int {
  GetCountFunction = 0,
  GetControlInfoFunction = 1,
  GetControlReportingFunction = 2,
  SetControlReportingFunction = 3,
};
}  // namespace

IFeatureForceInclusion1A00::IFeatureForceInclusion1A00() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1A00PresenterControl",
                     "devio::IFeatureForceInclusion1A00::IFeatureForceInclusion1A00", "Devio: Feature1A00 included");
}

Feature1A00PresenterControl::Feature1A00PresenterControl(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1A00PresenterControl::GetCount(int* count) {
  Bytes p;
  if (!query(GetCountFunction, {}, 1, p)) return false;
  store(count, p[0]);
  return true;
}

bool Feature1A00PresenterControl::GetControlInfo(int index, int* control, int* flags) {
  Bytes p;
  if (!query(GetControlInfoFunction, {lowByte(index)}, 3, p)) return false;
  store(control, bigEndian16(p, 0));
  store(flags, p[2]);
  return true;
}

bool Feature1A00PresenterControl::GetControlReporting(int control, int* reporting) {
  Bytes p;
  if (!query(GetControlReportingFunction, {highByte(control), lowByte(control)}, 3, p)) return false;
  store(reporting, p[2]);
  return true;
}

bool Feature1A00PresenterControl::SetControlReporting(int control, int reporting) {
  return change(FN(SetControlReporting), SetControlReportingFunction,
                {highByte(control), lowByte(control), lowByte(reporting)});
}

}  // namespace devio
