#pragma once

#include "devio/win32/IWin32System.h"

namespace devio {

// A device information list of the host, destroyed on every way out of the scope that made it.
class DeviceInfoList {
 public:
  DeviceInfoList(IWin32System& system, HDEVINFO list) : system_(system), list_(list) {}
  ~DeviceInfoList() {
    if (valid()) system_.SetupDiDestroyDeviceInfoList(list_);
  }
  DeviceInfoList(const DeviceInfoList&) = delete;
  DeviceInfoList& operator=(const DeviceInfoList&) = delete;

  bool valid() const { return list_ != INVALID_HANDLE_VALUE; }
  HDEVINFO get() const { return list_; }

 private:
  IWin32System& system_;
  const HDEVINFO list_;
};

}  // namespace devio
