#include "devio/win32/IWin32System.h"

#include <vector>

#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/DeviceInfoList.h"

#define FN(name) "devio::IWin32System::" #name

namespace devio {

namespace {
constexpr const char* kTag = "IWin32System";
}  // namespace

std::string IWin32System::setupdi_parent(std::string& instance) {
  xLog(kTag, LogDebug, FN(setupdi_parent), "setupdi_parent enter, instance=%s", instance.c_str());
  if (instance.empty()) {
    xLog(kTag, LogDebug, FN(setupdi_parent), "setupdi_parent exit, returning empty instance for empty instance");
    return {};
  }
  DeviceInfoList list(*this, SetupDiCreateDeviceInfoList(nullptr, nullptr));
  if (list.valid()) {
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (SetupDiOpenDeviceInfoW(list.get(), WideText::fromUtf8(instance).c_str(), nullptr, 0, &info)) {
      DEVINST parent = 0;
      const CONFIGRET result = CM_Get_Parent(&parent, info.DevInst, 0);
      if (result == CR_SUCCESS) {
        instance = setupdi_instance_from_devnode(parent);
      } else {
        xLog(kTag, LogDebug, FN(setupdi_parent), "CM_Get_Parent fail, err = 0x%08x", static_cast<unsigned>(result));
      }
    }
  }
  xLog(kTag, LogDebug, FN(setupdi_parent), "setupdi_parent exit, instance=%s", instance.c_str());
  return instance;
}

std::string IWin32System::setupdi_instance_from_devnode(DEVINST devnode) {
  ULONG size = 0;
  CONFIGRET result = CM_Get_Device_ID_Size(&size, devnode, 0);
  if (result != CR_SUCCESS) {
    xLog(kTag, LogDebug, FN(setupdi_instance_from_devnode), "CM_Get_Device_ID_Size fail, err = 0x%08x",
         static_cast<unsigned>(result));
    return {};
  }
  std::vector<WCHAR> id(size + 1, L'\0');
  result = CM_Get_Device_IDW(devnode, id.data(), size + 1, 0);
  if (result != CR_SUCCESS) {
    xLog(kTag, LogDebug, FN(setupdi_instance_from_devnode), "CM_Get_Device_ID fail, err = 0x%08x",
         static_cast<unsigned>(result));
    return {};
  }
  return WideText::toUtf8(id.data());
}

std::string IWin32System::setupdi_instance_from_path(std::string path) {
  xLog(kTag, LogDebug, FN(setupdi_instance_from_path), "setupdi_instance_from_path enter, path=%s", path.c_str());
  if (path.empty()) return {};
  DeviceInfoList list(*this, SetupDiCreateDeviceInfoList(nullptr, nullptr));
  if (!list.valid()) return {};
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  if (!SetupDiOpenDeviceInterfaceW(list.get(), WideText::fromUtf8(path).c_str(), 0, &interfaceData)) {
    xLog(kTag, LogDebug, FN(setupdi_instance_from_path), "SetupDiOpenDeviceInterface fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!SetupDiEnumDeviceInfo(list.get(), 0, &info)) {
    xLog(kTag, LogDebug, FN(setupdi_instance_from_path), "SetupDiEnumDeviceInfo fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  std::string instance = setupdi_instance_from_devnode(info.DevInst);
  xLog(kTag, LogDebug, FN(setupdi_instance_from_path), "setupdi_instance_from_path exit, instance=%s", instance.c_str());
  return instance;
}

std::string IWin32System::setupdi_path_from_instance(std::string instance, const GUID& interfaceClass) {
  xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "setupdi_path_from_instance enter, instance=%s",
       instance.c_str());
  if (instance.empty()) return {};
  DeviceInfoList list(*this, SetupDiGetClassDevsW(&interfaceClass, WideText::fromUtf8(instance).c_str(), nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!list.valid()) {
    xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "SetupDiGetClassDevs fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  if (!SetupDiEnumDeviceInterfaces(list.get(), nullptr, &interfaceClass, 0, &interfaceData)) {
    xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "SetupDiEnumDeviceInterfaces fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  DWORD size = 0;
  if (!SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, nullptr, 0, &size, nullptr) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "SetupDiGetDeviceInterfaceDetail getlength fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  std::vector<std::byte> buffer(size);
  auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, detail, size, nullptr, nullptr)) {
    xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "SetupDiGetDeviceInterfaceDetail getdata fail, err=0x%08x",
         static_cast<unsigned>(GetLastError()));
    return {};
  }
  std::string path = WideText::toUtf8(detail->DevicePath);
  xLog(kTag, LogDebug, FN(setupdi_path_from_instance), "setupdi_path_from_instance exit, path=%s", path.c_str());
  return path;
}

}  // namespace devio
