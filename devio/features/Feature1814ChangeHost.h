#pragma once

#include <memory>

#include "devio/features/IFeature1814ChangeHost.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1814ChangeHost : public Feature,
                              public IFeature1814ChangeHost,
                              public Producer<IFeature1814ChangeHost::CookieChange> {
 public:
  static constexpr unsigned Id = 0x1814;

  Feature1814ChangeHost(int index, std::weak_ptr<IDevice> device);

  bool GetHostInfo(int* count, int* current) override;
  bool SetCurrentHost(int host, bool wait) override;
  bool GetCookies(Bytes* cookies) override;
  bool SetCookie(int host, int cookie) override;
};

}  // namespace devio
