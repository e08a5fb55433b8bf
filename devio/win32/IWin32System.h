#pragma once

// clang-format off
#include <windows.h>
#include <hidsdi.h>
#include <hidpi.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <dbt.h>
#include <bluetoothapis.h>
// clang-format on

#include <string>

#include "devio/win32/BluetoothLeGatt.h"

namespace devio {

// The one seam between the HID transport and the host: every HID, device-setup,
// configuration-manager and Bluetooth call of the buses and channels, with exactly the
// arguments, results, structures and status values of the host function of the same name.
// The caller reads GetLastError() right after a call that failed. Only a library or entry point
// that cannot be found throws (DevioException, PlatformFunctionMissing).
//
// The last operations are the ending of what RegisterDeviceNotificationW registered and the
// overlapped I/O a channel does on the handle CreateFileW gave it, so that a host that stands in
// for the HID stack answers for all of it (an unplugged collection fails pending reads with
// ERROR_DEVICE_NOT_CONNECTED).
//
// Used from several threads at once (the bus's window thread, read threads, callers).
class IWin32System {
 public:
  virtual ~IWin32System() = default;

  virtual void HidD_GetHidGuid(LPGUID HidGuid) = 0;
  virtual BOOLEAN HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) = 0;
  virtual BOOLEAN HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) = 0;
  virtual BOOLEAN HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) = 0;
  virtual BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) = 0;
  virtual NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) = 0;
  virtual NTSTATUS HidP_GetValueCaps(HIDP_REPORT_TYPE ReportType, PHIDP_VALUE_CAPS ValueCaps, PUSHORT ValueCapsLength,
                                     PHIDP_PREPARSED_DATA PreparsedData) = 0;
  virtual NTSTATUS HidP_GetButtonCaps(HIDP_REPORT_TYPE ReportType, PHIDP_BUTTON_CAPS ButtonCaps,
                                      PUSHORT ButtonCapsLength, PHIDP_PREPARSED_DATA PreparsedData) = 0;
  virtual NTSTATUS HidP_GetLinkCollectionNodes(PHIDP_LINK_COLLECTION_NODE LinkCollectionNodes,
                                               PULONG LinkCollectionNodesLength,
                                               PHIDP_PREPARSED_DATA PreparsedData) = 0;
  virtual HANDLE CreateFileW(LPCWSTR FileName, DWORD DesiredAccess, DWORD ShareMode,
                             LPSECURITY_ATTRIBUTES SecurityAttributes, DWORD CreationDisposition,
                             DWORD FlagsAndAttributes, HANDLE TemplateFile) = 0;
  virtual HDEVNOTIFY RegisterDeviceNotificationW(HANDLE Recipient, LPVOID NotificationFilter, DWORD Flags) = 0;
  virtual HDEVINFO SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) = 0;
  virtual BOOL SetupDiOpenDeviceInterfaceW(HDEVINFO DeviceInfoSet, PCWSTR DevicePath, DWORD OpenFlags,
                                           PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) = 0;
  virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) = 0;
  virtual BOOL SetupDiOpenDeviceInfoW(HDEVINFO DeviceInfoSet, PCWSTR DeviceInstanceId, HWND hwndParent,
                                      DWORD OpenFlags, PSP_DEVINFO_DATA DeviceInfoData) = 0;
  virtual BOOL SetupDiGetDevicePropertyW(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                         const DEVPROPKEY* PropertyKey, DEVPROPTYPE* PropertyType,
                                         PBYTE PropertyBuffer, DWORD PropertyBufferSize, PDWORD RequiredSize,
                                         DWORD Flags) = 0;
  virtual HDEVINFO SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent, DWORD Flags) = 0;
  virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) = 0;
  virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                           PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) = 0;
  virtual BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                                DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                                PSP_DEVINFO_DATA DeviceInfoData) = 0;
  // The configuration-manager library (loaded on first use).
  virtual HMODULE cfgmgr32() = 0;
  virtual CONFIGRET CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) = 0;
  virtual CONFIGRET CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags) = 0;
  virtual CONFIGRET CM_Get_Device_IDW(DEVINST dnDevInst, PWCHAR Buffer, ULONG BufferLen, ULONG ulFlags) = 0;
  virtual DWORD BluetoothGetDeviceInfo(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pbtdi) = 0;
  virtual HRESULT BluetoothGATTGetServices(HANDLE hDevice, USHORT ServicesBufferCount,
                                           PBTH_LE_GATT_SERVICE ServicesBuffer, USHORT* ServicesBufferActual,
                                           ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTGetIncludedServices(HANDLE hDevice, PBTH_LE_GATT_SERVICE ParentService,
                                                   USHORT IncludedServicesBufferCount,
                                                   PBTH_LE_GATT_SERVICE IncludedServicesBuffer,
                                                   USHORT* IncludedServicesBufferActual, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTGetCharacteristics(HANDLE hDevice, PBTH_LE_GATT_SERVICE Service,
                                                  USHORT CharacteristicsBufferCount,
                                                  PBTH_LE_GATT_CHARACTERISTIC CharacteristicsBuffer,
                                                  USHORT* CharacteristicsBufferActual, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTGetDescriptors(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                              USHORT DescriptorsBufferCount, PBTH_LE_GATT_DESCRIPTOR DescriptorsBuffer,
                                              USHORT* DescriptorsBufferActual, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTGetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                      ULONG CharacteristicValueDataSize,
                                                      PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                      USHORT* CharacteristicValueSizeRequired, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTGetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                                  ULONG DescriptorValueDataSize,
                                                  PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue,
                                                  USHORT* DescriptorValueSizeRequired, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTSetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                                  PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTRegisterEvent(HANDLE hService, BTH_LE_GATT_EVENT_TYPE EventType,
                                             PVOID EventParameterIn, PFNBLUETOOTH_GATT_EVENT_CALLBACK Callback,
                                             PVOID CallbackContext, BLUETOOTH_GATT_EVENT_HANDLE* pEventHandle,
                                             ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE EventHandle, ULONG Flags) = 0;
  virtual HRESULT BluetoothGATTSetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                      PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                      BTH_LE_GATT_RELIABLE_WRITE_CONTEXT ReliableWriteContext,
                                                      ULONG Flags) = 0;

  // Composites built on the operations above; each yields empty when a step fails.
  // The parent's instance id of a device instance (the instance itself when it has no parent).
  virtual std::string setupdi_parent(std::string& instance);
  virtual std::string setupdi_instance_from_devnode(DEVINST devnode);
  // The instance id of the device behind an interface path.
  virtual std::string setupdi_instance_from_path(std::string path);
  // The path of the first interface of a class on a device instance.
  virtual std::string setupdi_path_from_instance(std::string instance, const GUID& interfaceClass);

  virtual BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) = 0;
  // The channel's overlapped I/O on a handle from CreateFileW.
  virtual BOOL ReadFile(HANDLE File, LPVOID Buffer, DWORD NumberOfBytesToRead, LPDWORD NumberOfBytesRead,
                        LPOVERLAPPED Overlapped) = 0;
  virtual BOOL WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten,
                         LPOVERLAPPED Overlapped) = 0;
  virtual BOOL GetOverlappedResult(HANDLE File, LPOVERLAPPED Overlapped, LPDWORD NumberOfBytesTransferred,
                                   BOOL Wait) = 0;
  virtual BOOL CancelIoEx(HANDLE File, LPOVERLAPPED Overlapped) = 0;
};

}  // namespace devio
