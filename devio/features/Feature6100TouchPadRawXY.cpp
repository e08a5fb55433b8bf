#include "devio/features/Feature6100TouchPadRawXY.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature6100TouchPadRawXY::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature6100TouchPadRawXY>(Feature6100TouchPadRawXY::Id);

enum Function : int {
  GetTouchPadInfoFunction = 0,
  GetRawReportStateFunction = 1,
  SetRawReportStateFunction = 2,
};
}  // namespace

IFeatureForceInclusion6100::IFeatureForceInclusion6100() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature6100TouchPadRawXY",
                     "devio::IFeatureForceInclusion6100::IFeatureForceInclusion6100", "Devio: Feature6100 included");
}

Feature6100TouchPadRawXY::Feature6100TouchPadRawXY(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature6100TouchPadRawXY::GetTouchPadInfo(int* width, int* height, int* dpi) {
  Bytes p;
  if (!query(GetTouchPadInfoFunction, {}, 6, p)) return false;
  store(width, bigEndian16(p, 0));
  store(height, bigEndian16(p, 2));
  store(dpi, bigEndian16(p, 4));
  return true;
}

bool Feature6100TouchPadRawXY::EnableRawReporting(bool enable) {
  Bytes p;
  if (!ensureConfigured(FN(EnableRawReporting)) || !query(GetRawReportStateFunction, {}, 1, p)) return false;
  return SetRawReportState(enable ? p[0] | 1 : p[0] & ~1);
}

bool Feature6100TouchPadRawXY::SetRawReportState(int mode) {
  return change(FN(SetRawReportState), SetRawReportStateFunction, {lowByte(mode)});
}

void Feature6100TouchPadRawXY::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 9)
    fire("Feature6100TouchPadRawXY::Report::onDualXYData", &Report::onDualXYData,
         DualXYData{bigEndian16(payload, 0), bigEndian16(payload, 2), bigEndian16(payload, 4), bigEndian16(payload, 6),
                    payload[8]});
}

void Feature6100TouchPadRawXY::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  if (changedElsewhere(FN(onUnexpectedResponse), function, swid, payload, SetRawReportStateFunction, 1))
    fire("Feature6100TouchPadRawXY::Report::onModeChanged", &Report::onModeChanged, unsigned{payload[0]});
}

}  // namespace devio
