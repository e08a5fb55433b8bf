#pragma once

#include <memory>

#include "devio/protocol/Byte.h"

namespace devio {

class IDevice;

// Change host (0x1814): the host channels of a multi-host device and the cookies hosts keep there.
// Function 0: -> [host count, current host]; function 1: [host]; function 2: -> [cookie of each host];
// function 3: [host, cookie].
class IFeature1814ChangeHost {
 public:
  class CookieChange {
   public:
    virtual void onCookieChange(std::shared_ptr<IDevice> /*device*/, short /*host*/, short /*cookie*/) {}
    virtual ~CookieChange() = default;
  };

  virtual ~IFeature1814ChangeHost() = default;
  virtual bool GetHostInfo(int* count, int* current) = 0;
  // With wait false the request goes out without waiting: the device leaves for the other host at once.
  virtual bool SetCurrentHost(int host, bool wait) = 0;
  virtual bool GetCookies(Bytes* cookies) = 0;
  // Fires onCookieChange after the device took it.
  virtual bool SetCookie(int host, int cookie) = 0;
};

}  // namespace devio
