#include "devio/win32/Win32System.h"

#include "devio/protocol/DevioException.h"

namespace devio {

namespace {

struct LibraryName {
  const wchar_t* file;
  const char* loadFailed;
};
constexpr LibraryName kLibraries[] = {
    {L"hid.dll", "LoadLibrary hid.dll failed"},
    {L"setupapi.dll", "LoadLibrary setupapi.dll failed"},
    {L"cfgmgr32.dll", "LoadLibrary cfgmgr32.dll failed"},
    {L"bthprops.cpl", "LoadLibrary bthprops.cpl failed"},
    {L"BluetoothApis.dll", "LoadLibrary BluetoothApis.dll failed"},
};

}  // namespace

// Calls the host function `name` of `library` with the wrapper's arguments; the function type is
// that of the host header's declaration. The message of a missing entry point is `label`
// followed by " ProcAddress Missing".
#define DEVIO_CALL_AS(library, name, label, ...) \
  reinterpret_cast<decltype(&::name)>(entry(library, #name, label " ProcAddress Missing"))(__VA_ARGS__)
#define DEVIO_CALL(library, name, ...) DEVIO_CALL_AS(library, name, #name, __VA_ARGS__)

std::shared_ptr<IWin32System> makeWin32System() { return std::make_shared<Win32System>(); }

Win32System::~Win32System() {
  for (auto& module : modules_) {
    if (module.handle) FreeLibrary(module.handle);
  }
}

HMODULE Win32System::module(Library library) {
  Module& module = modules_[library];
  // A failed load leaves the flag unset (the exception escapes call_once), so a later call tries again.
  std::call_once(module.loaded, [&] {
    HMODULE handle = LoadLibraryW(kLibraries[library].file);
    if (!handle) throw DevioException(PlatformFunctionMissing, GetLastError(), kLibraries[library].loadFailed);
    module.handle = handle;
  });
  return module.handle;
}

void* Win32System::entry(Library library, const char* name, const char* missing) {
  FARPROC function = GetProcAddress(module(library), name);
  if (!function) throw DevioException(PlatformFunctionMissing, GetLastError(), missing);
  return reinterpret_cast<void*>(function);
}

void Win32System::HidD_GetHidGuid(LPGUID HidGuid) { DEVIO_CALL(Hid, HidD_GetHidGuid, HidGuid); }

BOOLEAN Win32System::HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
  return DEVIO_CALL(Hid, HidD_GetAttributes, HidDeviceObject, Attributes);
}

BOOLEAN Win32System::HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
  return DEVIO_CALL(Hid, HidD_GetProductString, HidDeviceObject, Buffer, BufferLength);
}

BOOLEAN Win32System::HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
  return DEVIO_CALL(Hid, HidD_GetPreparsedData, HidDeviceObject, PreparsedData);
}

BOOLEAN Win32System::HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) {
  return DEVIO_CALL(Hid, HidD_FreePreparsedData, PreparsedData);
}

NTSTATUS Win32System::HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) {
  return DEVIO_CALL(Hid, HidP_GetCaps, PreparsedData, Capabilities);
}

NTSTATUS Win32System::HidP_GetValueCaps(HIDP_REPORT_TYPE ReportType, PHIDP_VALUE_CAPS ValueCaps,
                                        PUSHORT ValueCapsLength, PHIDP_PREPARSED_DATA PreparsedData) {
  return DEVIO_CALL(Hid, HidP_GetValueCaps, ReportType, ValueCaps, ValueCapsLength, PreparsedData);
}

NTSTATUS Win32System::HidP_GetButtonCaps(HIDP_REPORT_TYPE ReportType, PHIDP_BUTTON_CAPS ButtonCaps,
                                         PUSHORT ButtonCapsLength, PHIDP_PREPARSED_DATA PreparsedData) {
  return DEVIO_CALL(Hid, HidP_GetButtonCaps, ReportType, ButtonCaps, ButtonCapsLength, PreparsedData);
}

NTSTATUS Win32System::HidP_GetLinkCollectionNodes(PHIDP_LINK_COLLECTION_NODE LinkCollectionNodes,
                                                  PULONG LinkCollectionNodesLength,
                                                  PHIDP_PREPARSED_DATA PreparsedData) {
  return DEVIO_CALL(Hid, HidP_GetLinkCollectionNodes, LinkCollectionNodes, LinkCollectionNodesLength, PreparsedData);
}

HANDLE Win32System::CreateFileW(LPCWSTR FileName, DWORD DesiredAccess, DWORD ShareMode,
                                LPSECURITY_ATTRIBUTES SecurityAttributes, DWORD CreationDisposition,
                                DWORD FlagsAndAttributes, HANDLE TemplateFile) {
  return ::CreateFileW(FileName, DesiredAccess, ShareMode, SecurityAttributes, CreationDisposition, FlagsAndAttributes,
                       TemplateFile);
}

HDEVNOTIFY Win32System::RegisterDeviceNotificationW(HANDLE Recipient, LPVOID NotificationFilter, DWORD Flags) {
  return ::RegisterDeviceNotificationW(Recipient, NotificationFilter, Flags);
}

HDEVINFO Win32System::SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
  return DEVIO_CALL(SetupApi, SetupDiCreateDeviceInfoList, ClassGuid, hwndParent);
}

BOOL Win32System::SetupDiOpenDeviceInterfaceW(HDEVINFO DeviceInfoSet, PCWSTR DevicePath, DWORD OpenFlags,
                                              PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  return DEVIO_CALL(SetupApi, SetupDiOpenDeviceInterfaceW, DeviceInfoSet, DevicePath, OpenFlags, DeviceInterfaceData);
}

BOOL Win32System::SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
  return DEVIO_CALL(SetupApi, SetupDiEnumDeviceInfo, DeviceInfoSet, MemberIndex, DeviceInfoData);
}

BOOL Win32System::SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND hwndParent,
                                         DWORD OpenFlags, PSP_DEVINFO_DATA DeviceInfoData) {
  return DEVIO_CALL(SetupApi, SetupDiOpenDeviceInfoW, DeviceInfoSet, DeviceInstanceId, hwndParent, OpenFlags,
                    DeviceInfoData);
}

BOOL Win32System::SetupDiGetDevicePropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                            const DEVPROPKEY* PropertyKey, DEVPROPTYPE* PropertyType,
                                            PBYTE PropertyBuffer, DWORD PropertyBufferSize, PDWORD RequiredSize,
                                            DWORD Flags) {
  return DEVIO_CALL(SetupApi, SetupDiGetDevicePropertyW, DeviceInfoSet, DeviceInfoData, PropertyKey, PropertyType,
                    PropertyBuffer, PropertyBufferSize, RequiredSize, Flags);
}

HDEVINFO Win32System::SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags) {
  return DEVIO_CALL(SetupApi, SetupDiGetClassDevsW, ClassGuid, Enumerator, hwndParent, Flags);
}

BOOL Win32System::SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  return DEVIO_CALL(SetupApi, SetupDiDestroyDeviceInfoList, DeviceInfoSet);
}

BOOL Win32System::SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                              PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  return DEVIO_CALL(SetupApi, SetupDiEnumDeviceInterfaces, DeviceInfoSet, DeviceInfoData, InterfaceClassGuid,
                    MemberIndex, DeviceInterfaceData);
}

BOOL Win32System::SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                                   DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                                   PSP_DEVINFO_DATA DeviceInfoData) {
  return DEVIO_CALL(SetupApi, SetupDiGetDeviceInterfaceDetailW, DeviceInfoSet, DeviceInterfaceData,
                    DeviceInterfaceDetailData, DeviceInterfaceDetailDataSize, RequiredSize, DeviceInfoData);
}

HMODULE Win32System::cfgmgr32() { return module(CfgMgr32); }

CONFIGRET Win32System::CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
  return DEVIO_CALL(CfgMgr32, CM_Get_Parent, pdnDevInst, dnDevInst, ulFlags);
}

CONFIGRET Win32System::CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags) {
  return DEVIO_CALL(CfgMgr32, CM_Get_Device_ID_Size, pulLen, dnDevInst, ulFlags);
}

CONFIGRET Win32System::CM_Get_Device_IDW(DEVINST dnDevInst, PWCHAR Buffer, ULONG BufferLen, ULONG ulFlags) {
  return DEVIO_CALL_AS(CfgMgr32, CM_Get_Device_IDW, "CM_Get_Device_ID", dnDevInst, Buffer, BufferLen, ulFlags);
}

DWORD Win32System::BluetoothGetDeviceInfo(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pbtdi) {
  return DEVIO_CALL(BthProps, BluetoothGetDeviceInfo, hRadio, pbtdi);
}

HRESULT Win32System::BluetoothGATTGetServices(HANDLE hDevice, USHORT ServicesBufferCount,
                                              PBTH_LE_GATT_SERVICE ServicesBuffer, USHORT* ServicesBufferActual,
                                              ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetServices, hDevice, ServicesBufferCount, ServicesBuffer,
                    ServicesBufferActual, Flags);
}

HRESULT Win32System::BluetoothGATTGetIncludedServices(HANDLE hDevice, PBTH_LE_GATT_SERVICE ParentService,
                                                      USHORT IncludedServicesBufferCount,
                                                      PBTH_LE_GATT_SERVICE IncludedServicesBuffer,
                                                      USHORT* IncludedServicesBufferActual, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetIncludedServices, hDevice, ParentService,
                    IncludedServicesBufferCount, IncludedServicesBuffer, IncludedServicesBufferActual, Flags);
}

HRESULT Win32System::BluetoothGATTGetCharacteristics(HANDLE hDevice, PBTH_LE_GATT_SERVICE Service,
                                                     USHORT CharacteristicsBufferCount,
                                                     PBTH_LE_GATT_CHARACTERISTIC CharacteristicsBuffer,
                                                     USHORT* CharacteristicsBufferActual, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetCharacteristics, hDevice, Service, CharacteristicsBufferCount,
                    CharacteristicsBuffer, CharacteristicsBufferActual, Flags);
}

HRESULT Win32System::BluetoothGATTGetDescriptors(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                 USHORT DescriptorsBufferCount,
                                                 PBTH_LE_GATT_DESCRIPTOR DescriptorsBuffer,
                                                 USHORT* DescriptorsBufferActual, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetDescriptors, hDevice, Characteristic, DescriptorsBufferCount,
                    DescriptorsBuffer, DescriptorsBufferActual, Flags);
}

HRESULT Win32System::BluetoothGATTGetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                         ULONG CharacteristicValueDataSize,
                                                         PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                         USHORT* CharacteristicValueSizeRequired, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetCharacteristicValue, hDevice, Characteristic,
                    CharacteristicValueDataSize, CharacteristicValue, CharacteristicValueSizeRequired, Flags);
}

HRESULT Win32System::BluetoothGATTGetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                                     ULONG DescriptorValueDataSize,
                                                     PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue,
                                                     USHORT* DescriptorValueSizeRequired, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTGetDescriptorValue, hDevice, Descriptor, DescriptorValueDataSize,
                    DescriptorValue, DescriptorValueSizeRequired, Flags);
}

HRESULT Win32System::BluetoothGATTSetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                                     PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTSetDescriptorValue, hDevice, Descriptor, DescriptorValue, Flags);
}

HRESULT Win32System::BluetoothGATTRegisterEvent(HANDLE hService, BTH_LE_GATT_EVENT_TYPE EventType,
                                                PVOID EventParameterIn, PFNBLUETOOTH_GATT_EVENT_CALLBACK Callback,
                                                PVOID CallbackContext, BLUETOOTH_GATT_EVENT_HANDLE* pEventHandle,
                                                ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTRegisterEvent, hService, EventType, EventParameterIn, Callback,
                    CallbackContext, pEventHandle, Flags);
}

HRESULT Win32System::BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE EventHandle, ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTUnregisterEvent, EventHandle, Flags);
}

HRESULT Win32System::BluetoothGATTSetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                         PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                         BTH_LE_GATT_RELIABLE_WRITE_CONTEXT ReliableWriteContext,
                                                         ULONG Flags) {
  return DEVIO_CALL(BluetoothApis, BluetoothGATTSetCharacteristicValue, hDevice, Characteristic, CharacteristicValue,
                    ReliableWriteContext, Flags);
}

BOOL Win32System::UnregisterDeviceNotification(HDEVNOTIFY Handle) { return ::UnregisterDeviceNotification(Handle); }

BOOL Win32System::ReadFile(HANDLE File, LPVOID Buffer, DWORD NumberOfBytesToRead, LPDWORD NumberOfBytesRead,
                           LPOVERLAPPED Overlapped) {
  return ::ReadFile(File, Buffer, NumberOfBytesToRead, NumberOfBytesRead, Overlapped);
}

BOOL Win32System::WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten,
                            LPOVERLAPPED Overlapped) {
  return ::WriteFile(File, Buffer, NumberOfBytesToWrite, NumberOfBytesWritten, Overlapped);
}

BOOL Win32System::GetOverlappedResult(HANDLE File, LPOVERLAPPED Overlapped, LPDWORD NumberOfBytesTransferred,
                                      BOOL Wait) {
  return ::GetOverlappedResult(File, Overlapped, NumberOfBytesTransferred, Wait);
}

BOOL Win32System::CancelIoEx(HANDLE File, LPOVERLAPPED Overlapped) { return ::CancelIoEx(File, Overlapped); }

}  // namespace devio
