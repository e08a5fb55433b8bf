#include "devio/features/Feature1B03SpecialKeys.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1B03SpecialKeys>(Feature1B03SpecialKeys::Id);

enum Function : int {
  GetControlReportingFunction = 4,
  SetCtrlIdReportingFunction = 5,
};
}  // namespace

IFeatureForceInclusion1B03::IFeatureForceInclusion1B03() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1B03SpecialKeys", "devio::IFeatureForceInclusion1B03::IFeatureForceInclusion1B03",
                     "Devio: Feature1B03 included");
}

Feature1B03SpecialKeys::Feature1B03SpecialKeys(int index, std::weak_ptr<IDevice> device)
    : ControlReportingFeature(Id, index, std::move(device), "Feature1B03SpecialKeys", GetControlReportingFunction,
                              SetCtrlIdReportingFunction) {}

bool Feature1B03SpecialKeys::GetControlInfo(int index, ControlInfo* info) {
  ControlInfo read;
  if (!queryControlInfo(index, &read)) return false;
  store(info, read);
  return true;
}

void Feature1B03SpecialKeys::onFeatureReport(int function, const Bytes& payload) {
  if (payload.size() < KeyChangeLength) return;
  if (function == 0)
    fire("Feature1B03SpecialKeys::KeyReport::onKeyChange", &KeyReport::onKeyChange, bigEndian16List(payload, 4));
}

void Feature1B03SpecialKeys::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (const auto change = reportingChangedElsewhere(function, swid, payload))
    fire("Feature1B03SpecialKeys::KeyReport::OnKeyDiverted", &KeyReport::OnKeyDiverted, swid,
         unsigned{change->control}, (change->flags & 1) != 0);
}

}  // namespace devio
