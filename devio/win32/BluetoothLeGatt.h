#pragma once

#include <windows.h>

// The Bluetooth LE GATT entry points of BluetoothApis.dll, which the mingw-w64 headers do not
// declare. The structures are only passed through by the transport, so they stay incomplete here.
extern "C" {
struct _BTH_LE_GATT_SERVICE;
struct _BTH_LE_GATT_CHARACTERISTIC;
struct _BTH_LE_GATT_DESCRIPTOR;
struct _BTH_LE_GATT_CHARACTERISTIC_VALUE;
struct _BTH_LE_GATT_DESCRIPTOR_VALUE;
typedef _BTH_LE_GATT_SERVICE* PBTH_LE_GATT_SERVICE;
typedef _BTH_LE_GATT_CHARACTERISTIC* PBTH_LE_GATT_CHARACTERISTIC;
typedef _BTH_LE_GATT_DESCRIPTOR* PBTH_LE_GATT_DESCRIPTOR;
typedef _BTH_LE_GATT_CHARACTERISTIC_VALUE* PBTH_LE_GATT_CHARACTERISTIC_VALUE;
typedef _BTH_LE_GATT_DESCRIPTOR_VALUE* PBTH_LE_GATT_DESCRIPTOR_VALUE;
typedef ULONG64 BTH_LE_GATT_RELIABLE_WRITE_CONTEXT;
typedef int BTH_LE_GATT_EVENT_TYPE;
typedef HANDLE BLUETOOTH_GATT_EVENT_HANDLE;
typedef VOID(CALLBACK* PFNBLUETOOTH_GATT_EVENT_CALLBACK)(BTH_LE_GATT_EVENT_TYPE EventType, PVOID EventOutParameter,
                                                         PVOID Context);

HRESULT WINAPI BluetoothGATTGetServices(HANDLE hDevice, USHORT ServicesBufferCount, PBTH_LE_GATT_SERVICE ServicesBuffer,
                                        USHORT* ServicesBufferActual, ULONG Flags);
HRESULT WINAPI BluetoothGATTGetIncludedServices(HANDLE hDevice, PBTH_LE_GATT_SERVICE ParentService,
                                                USHORT IncludedServicesBufferCount,
                                                PBTH_LE_GATT_SERVICE IncludedServicesBuffer,
                                                USHORT* IncludedServicesBufferActual, ULONG Flags);
HRESULT WINAPI BluetoothGATTGetCharacteristics(HANDLE hDevice, PBTH_LE_GATT_SERVICE Service,
                                               USHORT CharacteristicsBufferCount,
                                               PBTH_LE_GATT_CHARACTERISTIC CharacteristicsBuffer,
                                               USHORT* CharacteristicsBufferActual, ULONG Flags);
HRESULT WINAPI BluetoothGATTGetDescriptors(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                           USHORT DescriptorsBufferCount, PBTH_LE_GATT_DESCRIPTOR DescriptorsBuffer,
                                           USHORT* DescriptorsBufferActual, ULONG Flags);
HRESULT WINAPI BluetoothGATTGetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                   ULONG CharacteristicValueDataSize,
                                                   PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                   USHORT* CharacteristicValueSizeRequired, ULONG Flags);
HRESULT WINAPI BluetoothGATTGetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                               ULONG DescriptorValueDataSize, PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue,
                                               USHORT* DescriptorValueSizeRequired, ULONG Flags);
HRESULT WINAPI BluetoothGATTSetDescriptorValue(HANDLE hDevice, PBTH_LE_GATT_DESCRIPTOR Descriptor,
                                               PBTH_LE_GATT_DESCRIPTOR_VALUE DescriptorValue, ULONG Flags);
HRESULT WINAPI BluetoothGATTRegisterEvent(HANDLE hService, BTH_LE_GATT_EVENT_TYPE EventType, PVOID EventParameterIn,
                                          PFNBLUETOOTH_GATT_EVENT_CALLBACK Callback, PVOID CallbackContext,
                                          BLUETOOTH_GATT_EVENT_HANDLE* pEventHandle, ULONG Flags);
HRESULT WINAPI BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE EventHandle, ULONG Flags);
HRESULT WINAPI BluetoothGATTSetCharacteristicValue(HANDLE hDevice, PBTH_LE_GATT_CHARACTERISTIC Characteristic,
                                                   PBTH_LE_GATT_CHARACTERISTIC_VALUE CharacteristicValue,
                                                   BTH_LE_GATT_RELIABLE_WRITE_CONTEXT ReliableWriteContext, ULONG Flags);
}
