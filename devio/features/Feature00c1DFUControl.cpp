#include "devio/features/Feature00c1DFUControl.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature00c1DFUControl>(Feature00c1DFUControl::Id);

constexpr const char* Tag = "Feature00c1DFUControl";
constexpr int GetDfuControlFunction = 0;
constexpr int SetDfuControlFunction = 1;
}  // namespace

IFeatureForceInclusion00c1::IFeatureForceInclusion00c1() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion00c1::IFeatureForceInclusion00c1", "Devio: Feature00c1 included");
}

Feature00c1DFUControl::Feature00c1DFUControl(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

// The base accepts no answer with fewer than 3 payload bytes, so byte 1 is always there.
bool Feature00c1DFUControl::GetDfuControl(int* control) {
  Bytes payload;
  if (!sendFeatureCommand(GetDfuControlFunction, {}, payload, false)) return false;
  store(control, payload[1]);
  return true;
}

// The "DFU" bytes guard the write.
bool Feature00c1DFUControl::SetDfuControl(Byte a, Byte b, Byte c, Byte d) {
  Bytes payload;
  return sendFeatureCommand(SetDfuControlFunction, {a, b, c, d, 'D', 'F', 'U'}, payload, false);
}

void Feature00c1DFUControl::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& /*payload*/) {
  xLog(Tag, LogInfo, "devio::Feature00c1DFUControl::onUnexpectedResponse",
       "Feature00c1DFUControl::onUnexpectedResponse(func=%d, swid=0x%x)", function, swid);
}

}  // namespace devio
