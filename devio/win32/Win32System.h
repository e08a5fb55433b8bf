#pragma once

#include <memory>
#include <mutex>

#include "devio/win32/IWin32System.h"

namespace devio {

// The host's own services: hid.dll, setupapi.dll, cfgmgr32.dll, bthprops.cpl and
// BluetoothApis.dll are loaded on first use (each exactly once, also when several threads need
// it first at the same time) and kept for the object's life; every call looks its entry point up
// by name. A library or entry point that is missing throws DevioException
// (PlatformFunctionMissing, the system error, "LoadLibrary <name> failed" /
// "<function> ProcAddress Missing").
class Win32System final : public IWin32System {
 public:
  Win32System() = default;
  ~Win32System() override;

  void HidD_GetHidGuid(LPGUID HidGuid) override;
  BOOLEAN HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) override;
  BOOLEAN HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) override;
  BOOLEAN HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) override;
  BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) override;
  NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) override;
  NTSTATUS HidP_GetValueCaps(HIDP_REPORT_TYPE ReportType, PHIDP_VALUE_CAPS ValueCaps, PUSHORT ValueCapsLength,
                             PHIDP_PREPARSED_DATA PreparsedData) override;
  NTSTATUS HidP_GetButtonCaps(HIDP_REPORT_TYPE ReportType, PHIDP_BUTTON_CAPS ButtonCaps, PUSHORT ButtonCapsLength,
                              PHIDP_PREPARSED_DATA PreparsedData) override;
  NTSTATUS HidP_GetLinkCollectionNodes(PHIDP_LINK_COLLECTION_NODE LinkCollectionNodes, PULONG LinkCollectionNodesLength,
                                       PHIDP_PREPARSED_DATA PreparsedData) override;
  HANDLE CreateFileW(LPCWSTR FileName, DWORD DesiredAccess, DWORD ShareMode, LPSECURITY_ATTRIBUTES SecurityAttributes,
                     DWORD CreationDisposition, DWORD FlagsAndAttributes, HANDLE TemplateFile) override;
  HDEVNOTIFY RegisterDeviceNotificationW(HANDLE Recipient, LPVOID NotificationFilter, DWORD Flags) override;
  HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) override;
  BOOL SetupDiOpenDeviceInterfaceW(HDEVINFO DeviceInfoSet, PCWSTR DevicePath, DWORD OpenFlags,
                                   PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) override;
  BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) override;
  BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND hwndParent, DWORD OpenFlags,
                              PSP_DEVINFO_DATA DeviceInfoData) override;
  BOOL SetupDiGetDevicePropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, const DEVPROPKEY* PropertyKey,
                                 DEVPROPTYPE* PropertyType, PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                 PDWORD RequiredSize, DWORD Flags) override;
  HDEVINFO SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags) override;
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) override;
  BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                   const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                   PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) override;
  BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                        DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                        PSP_DEVINFO_DATA DeviceInfoData) override;
  HMODULE cfgmgr32() override;
  CONFIGRET CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) override;
  CONFIGRET CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags) override;
  CONFIGRET CM_Get_Device_IDW(DEVINST dnDevInst, PWCHAR Buffer, ULONG BufferLen, ULONG ulFlags) override;
  DWORD BluetoothGetDeviceInfo(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pbtdi) override;
  HRESULT BluetoothGATTGetServices(HANDLE hDevice, USHORT ServicesBufferCount, PBTH_LE_GATT_SERVICE ServicesBuffer,
                                   USHORT* ServicesBufferActual, ULONG Flags) override;
  HRESULT BluetoothGATTGetIncludedServices(HANDLE hDevice, PBTH_LE_GATT_SERVICE ParentService,
                                           USHORT IncludedServicesBufferCount,
                                           PBTH_LE_GATT_SERVICE IncludedServicesBuffer,
                                           USHORT* IncludedServicesBufferActual, ULONG Flags) override;
  HRESULT BluetoothGATTGetCharacteristics(HANDLE hDevice, PBTH_LE_GATT_SERVICE Service,
                                          USHORT CharacteristicsBufferCount,
                                          PBTH_LE_GATT_CHARACTERISTIC CharacteristicsBuffer,
                                          USHORT* CharacteristicsBufferActual, ULONG Flags) override;
  HRESULT BluetoothGATTGetDescriptors(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                      USHORT DescriptorsBufferCount, PBTH_LE_GATT_DESCRIPTOR DescriptorsBuffer,
                                      USHORT* DescriptorsBufferActual, ULONG Flags) override;
  HRESULT BluetoothGATTGetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                              ULONG CharacteristicValueDataSize,
                                              PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                              USHORT* CharacteristicValueSizeRequired, ULONG Flags) override;
  HRESULT BluetoothGATTGetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                          ULONG DescriptorValueDataSize, PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue,
                                          USHORT* DescriptorValueSizeRequired, ULONG Flags) override;
  HRESULT BluetoothGATTSetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                          PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue, ULONG Flags) override;
  HRESULT BluetoothGATTRegisterEvent(HANDLE hService, BTH_LE_GATT_EVENT_TYPE EventType, PVOID EventParameterIn,
                                     PFNBLUETOOTH_GATT_EVENT_CALLBACK Callback, PVOID CallbackContext,
                                     BLUETOOTH_GATT_EVENT_HANDLE* pEventHandle, ULONG Flags) override;
  HRESULT BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE EventHandle, ULONG Flags) override;
  HRESULT BluetoothGATTSetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                              PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                              BTH_LE_GATT_RELIABLE_WRITE_CONTEXT ReliableWriteContext,
                                              ULONG Flags) override;

  BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) override;
  BOOL ReadFile(HANDLE File, LPVOID Buffer, DWORD NumberOfBytesToRead, LPDWORD NumberOfBytesRead,
                LPOVERLAPPED Overlapped) override;
  BOOL WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten,
                 LPOVERLAPPED Overlapped) override;
  BOOL GetOverlappedResult(HANDLE File, LPOVERLAPPED Overlapped, LPDWORD NumberOfBytesTransferred, BOOL Wait) override;
  BOOL CancelIoEx(HANDLE File, LPOVERLAPPED Overlapped) override;

 private:
  enum Library { Hid, SetupApi, CfgMgr32, BthProps, BluetoothApis, LibraryCount };

  struct Module {
    std::once_flag loaded;
    HMODULE handle = nullptr;
  };

  HMODULE module(Library library);
  // The entry point as an untyped address (the caller gives it the header's type).
  void* entry(Library library, const char* name, const char* missing);

  Module modules_[LibraryCount];
};

// The system object a HID bus uses on this host.
std::shared_ptr<IWin32System> makeWin32System();

}  // namespace devio
