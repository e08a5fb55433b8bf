#include "devio/protocol/Feature0020ConfigChange.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature0020ConfigChange>(Feature0020ConfigChange::Id);

constexpr int GetCookieFunction = 0;
constexpr int SetCookieFunction = 1;

unsigned short cookieOf(const Bytes& payload) { return static_cast<unsigned short>((payload[0] << 8) | payload[1]); }
}  // namespace

IFeatureForceInclusion0020::IFeatureForceInclusion0020() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog("Feature0020ConfigChange", LogDebug, "devio::IFeatureForceInclusion0020::IFeatureForceInclusion0020",
         "Devio: Feature0020 included");
}

Feature0020ConfigChange::Feature0020ConfigChange(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

// Neither request is cacheable: the cookie is always the device's own.
bool Feature0020ConfigChange::GetCookie(unsigned short* cookie) {
  Bytes payload;
  if (!sendFeatureCommand(GetCookieFunction, {}, payload, false)) return false;
  if (payload.size() < 2) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(cookie, cookieOf(payload));
  return true;
}

bool Feature0020ConfigChange::SetCookie(int cookie) {
  Bytes payload;
  const Bytes params{static_cast<Byte>(cookie >> 8), static_cast<Byte>(cookie)};
  return sendFeatureCommand(SetCookieFunction, params, payload, false);
}

void Feature0020ConfigChange::onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  xLog("Feature0020ConfigChange", LogInfo, "devio::Feature0020ConfigChange::onUnexpectedResponse",
       "Feature0020ConfigChange::onUnexpectedResponse(func=%d, swid=0x%x)", function, swid);
  if (function != SetCookieFunction || payload.size() < 2) return;
  const unsigned short cookie = cookieOf(payload);
  Producer<ConfigReport>::produce([swid, cookie](ConfigReport* s) { s->onCookieSet(swid, cookie); },
                                  "Feature0020ConfigChange::ConfigReport::onCookieSet");
}

}  // namespace devio
