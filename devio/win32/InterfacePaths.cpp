#include "devio/win32/InterfacePaths.h"

#include <algorithm>

#include "devio/protocol/DevioException.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/DeviceInfoList.h"

namespace devio {

std::vector<std::string> InterfacePaths::present(IWin32System& system, const GUID& interfaceClass, const Log& log) {
  const HDEVINFO handle = system.SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (handle == INVALID_HANDLE_VALUE) throw DevioException(EnumerationFailed, GetLastError(), "SetupDiGetClassDevs failed");
  DeviceInfoList list(system, handle);
  std::vector<std::string> paths;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD index = 0; system.SetupDiEnumDeviceInterfaces(list.get(), nullptr, &interfaceClass, index, &data); ++index) {
    DWORD size = 0;
    if (!system.SetupDiGetDeviceInterfaceDetailW(list.get(), &data, nullptr, 0, &size, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      xLog(log.tag, LogWarning, "devio::InterfacePaths::present", log.lengthError, static_cast<int>(GetLastError()));
      continue;
    }
    std::vector<std::byte> buffer(std::max<DWORD>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!system.SetupDiGetDeviceInterfaceDetailW(list.get(), &data, detail, size, nullptr, nullptr)) {
      xLog(log.tag, LogWarning, "devio::InterfacePaths::present", log.detailError, static_cast<int>(GetLastError()));
      continue;
    }
    paths.push_back(WideText::toUtf8(detail->DevicePath));
  }
  return paths;
}

}  // namespace devio
