#include "devio/features/Feature1814ChangeHost.h"

#include <utility>

#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1814ChangeHost>(Feature1814ChangeHost::Id);

enum Function : int {
  GetHostInfoFunction = 0,
  SetCurrentHostFunction = 1,
  GetCookiesFunction = 2,
  SetCookieFunction = 3,
};
}  // namespace

Feature1814ChangeHost::Feature1814ChangeHost(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1814ChangeHost::GetHostInfo(int* count, int* current) {
  Bytes p;
  if (!query(GetHostInfoFunction, {}, 2, p)) return false;
  store(count, p[0]);
  store(current, p[1]);
  return true;
}

bool Feature1814ChangeHost::SetCurrentHost(int host, bool wait) {
  return wait ? command(SetCurrentHostFunction, {lowByte(host)})
              : sendFeatureCommandNoResponse(SetCurrentHostFunction, {lowByte(host)});
}

bool Feature1814ChangeHost::GetCookies(Bytes* cookies) {
  Bytes p;
  if (!query(GetCookiesFunction, {}, 0, p)) return false;
  store(cookies, p);
  return true;
}

bool Feature1814ChangeHost::SetCookie(int host, int cookie) {
  if (!command(SetCookieFunction, {lowByte(host), lowByte(cookie)})) return false;
  fire("Feature1814ChangeHost::CookieChange::onCookieChange", &CookieChange::onCookieChange, device(),
       static_cast<short>(host), static_cast<short>(cookie));
  return true;
}

}  // namespace devio
