#include "devio/features/Feature1B04SpecialKeys.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1B04SpecialKeys>(Feature1B04SpecialKeys::Id);

enum Function : int {
  GetControlReportingFunction = 2,
  SetCtrlIdReportingFunction = 3,
};
}  // namespace

IFeatureForceInclusion1B04::IFeatureForceInclusion1B04() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1B04SpecialKeys", "devio::IFeatureForceInclusion1B04::IFeatureForceInclusion1B04",
                     "Devio: Feature1B04 included");
}

Feature1B04SpecialKeys::Feature1B04SpecialKeys(int index, std::weak_ptr<IDevice> device)
    : ControlReportingFeature(Id, index, std::move(device), "Feature1B04SpecialKeys", GetControlReportingFunction,
                              SetCtrlIdReportingFunction) {}

bool Feature1B04SpecialKeys::GetControlInfo(int index, int* control, int* task, Byte* flags, int* position, int* group,
                                            Byte* groupMask, Byte* additionalFlags) {
  ControlInfo info;
  if (!queryControlInfo(index, &info)) return false;
  store(control, info.control);
  store(task, info.task);
  store(flags, info.flags);
  store(position, info.position);
  store(group, info.group);
  store(groupMask, info.groupMask);
  store(additionalFlags, info.additionalFlags);
  return true;
}

void Feature1B04SpecialKeys::onFeatureReport(int function, const Bytes& payload) {
  if (payload.size() < KeyChangeLength) return;
  if (function == 0)
    fire("Feature1B04SpecialKeys::KeyReport::onKeyChange", &KeyReport::onKeyChange, bigEndian16List(payload, 4));
  if (function == 1)
    fire("Feature1B04SpecialKeys::RawXYReport::onRawXY", &RawXYReport::onRawXY, signed16(payload, 0),
         signed16(payload, 2));
}

void Feature1B04SpecialKeys::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (const auto change = reportingChangedElsewhere(function, swid, payload))
    fire("Feature1B04SpecialKeys::KeyReport::OnKeyDiverted", &KeyReport::OnKeyDiverted, swid,
         unsigned{change->control}, (change->flags & 2) != 0, (change->flags & 1) != 0, unsigned{change->remap});
}

}  // namespace devio
