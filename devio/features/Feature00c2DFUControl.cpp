#include "devio/features/Feature00c2DFUControl.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature00c2DFUControl>(Feature00c2DFUControl::Id);

constexpr const char* Tag = "Feature00c2DFUControl";
constexpr int GetDfuControlFunction = 0;
constexpr int SetDfuControlFunction = 1;
}  // namespace

IFeatureForceInclusion00c2::IFeatureForceInclusion00c2() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion00c2::IFeatureForceInclusion00c2", "Devio: Feature00c2 included");
}

Feature00c2DFUControl::Feature00c2DFUControl(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature00c2DFUControl::GetDfuControl(bool* enabled) {
  Bytes payload;
  if (!sendFeatureCommand(GetDfuControlFunction, {}, payload, false)) {
    LastError::set(GeneralError);
    return false;
  }
  if (payload.size() < 3) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(enabled, (payload[2] & 1) != 0);
  return true;
}

// Sent without waiting: an error answer of the device is not seen here. The "DFU" bytes guard
// the write.
bool Feature00c2DFUControl::SetDfuControl(Byte a, Byte b) {
  if (sendFeatureCommandNoResponse(SetDfuControlFunction, {a, b, 0, 0, 'D', 'F', 'U'})) return true;
  LastError::set(GeneralError);
  return false;
}

void Feature00c2DFUControl::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& /*payload*/) {
  xLog(Tag, LogInfo, "devio::Feature00c2DFUControl::onUnexpectedResponse",
       "Feature00c2DFUControl::onUnexpectedResponse(func=%d, swid=0x%x)", function, swid);
}

}  // namespace devio
