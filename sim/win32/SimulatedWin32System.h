#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "devio/protocol/Byte.h"
#include "devio/win32/IWin32System.h"
#include "sim/win32/SimulatedBluetoothRegistry.h"
#include "sim/win32/SimulatedHidDevice.h"
#include "sim/win32/SimulatedHidEndpoint.h"

namespace sim {

// A host for the HID transport to run against unchanged: the devices a test plugs in are
// enumerated by the SetupDi* and CM_* operations (with their size probes, ERROR_NO_MORE_ITEMS and
// parent device instances shared by the collections of one device), described by HidD_* and
// HidP_* with the host headers' structures and status values, and opened by CreateFileW as real
// overlapped handles (message-mode named pipes, served by SimulatedHidEndpoint). Plugging and
// unplugging send WM_DEVICECHANGE with real broadcast headers to the windows that registered for
// them; an unplugged collection fails pending and later I/O with ERROR_DEVICE_NOT_CONNECTED, as
// the HID stack does.
//
// Bluetooth: radios are device interfaces of the radio class that arrive and leave with
// WM_DEVICECHANGE and open as real handles; pairings are written to the prefix's registry
// enumeration keys, BluetoothGetDeviceInfo answers from them, and link and pairing changes reach
// the windows registered on a radio's handle as DBT_CUSTOMEVENT messages (L2CAP and radio-in-range
// events). A paired device's HID device node hangs under its radio's node in the device tree
// (CM_Get_Parent), and the radio's node carries the radio interface.
//
// GATT: devices of the Velo GATT service are interfaces of its class, arriving and leaving with
// WM_DEVICECHANGE; each has one service with one Velo characteristic (fixed or variable length)
// and its client configuration descriptor. Values the host writes go to the test and are the
// characteristic's value; both values are read with the host's two calls (size, then value).
// Values the test sends arrive as value-changed events while notifications are on.
//
// Thread-safe. Reports the host writes reach the device's HostWrite on the endpoint's thread.
// Messages are sent (SendMessageW) without the host's lock held, on the thread that plugs,
// unplugs or queries.
class SimulatedWin32System final : public devio::IWin32System {
 public:
  // A report the host wrote to collection `collection` of the device.
  using HostWrite = std::function<void(std::size_t collection, const devio::Bytes& report)>;

  // Present from now on; announced to the registered windows. Answers the device's id.
  int plug(SimulatedHidDevice device, HostWrite onHostWrite = {});
  // Gone: open handles fail, the registered windows hear of the removal.
  void unplug(int device);
  // A removal query (DBT_DEVICEQUERYREMOVE) for every handle registration on the device's handles.
  void queryRemove(int device);
  // An input report on a collection, to every open handle of it; false when none took it.
  bool send(int device, std::size_t collection, const devio::Bytes& report);
  // The collection stops taking the host's writes (they pend), on open and later handles.
  void stopAnswering(int device, std::size_t collection);

  struct BluetoothPairing {
    std::string name = "Simulated Bluetooth device";
    bool le = false;
    // The enumeration model key; the paths of the device's HID interfaces carry it.
    std::string model = "{00001124-0000-1000-8000-00805f9b34fb}_VID&00021d7a_PID&b023";
    bool addressValue = true;  // "Device Parameters\BluetoothAddress" is written
    bool reported = true;      // BluetoothGetDeviceInfo answers for it
  };
  // A radio interface arrives; answers its id.
  int addRadio();
  void removeRadio(int radio);
  std::string radioPath(int radio);
  // Pairs a device with the radio (its link down); answers its address, unique to this process.
  std::uint64_t pairBluetooth(int radio, BluetoothPairing pairing);
  // The link comes up or goes down: an L2CAP event of the HID interrupt channel for a classic
  // device, a radio-in-range event for an LE one.
  void setBluetoothConnected(std::uint64_t address, bool connected);
  // The pairing goes: its registry keys, then a radio-in-range event without the personal flag.
  void unpairBluetooth(std::uint64_t address);
  // How often a radio was opened.
  int radioOpens();

  // The value the host wrote to a GATT device's characteristic.
  using GattWrite = std::function<void(const devio::Bytes& value)>;
  int plugGatt(std::uint16_t pid, bool fixedLength, GattWrite onWrite);
  void unplugGatt(int device);
  std::string gattPath(int device);
  // The Bluetooth library calls on the device's handles throw, as the host's seam does when the
  // library cannot be loaded.
  void loseGattLibrary(int device);
  // Reading the device's characteristic and descriptor values fails from now on (E_ACCESSDENIED).
  void makeGattUnreadable(int device);
  // How often the device's characteristic or descriptor values were asked for, size probes included.
  int gattValueQueries(int device);
  // A value-changed event on the host's GATT thread (the caller); false while notifications are
  // off or no event is registered.
  bool notifyGatt(int device, const devio::Bytes& value);

  std::string path(int device, std::size_t collection);
  std::string instance(int device);
  // Handles of the collection whose client end is still open.
  int openHandles(int device, std::size_t collection);
  // Waits (bounded by real time) until that many are open, for a close seen on the pipe's thread.
  int waitForOpenHandles(int device, std::size_t collection, int expected);

  // IWin32System
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
  HMODULE cfgmgr32() override { return nullptr; }
  CONFIGRET CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) override;
  CONFIGRET CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags) override;
  CONFIGRET CM_Get_Device_IDW(DEVINST dnDevInst, PWCHAR Buffer, ULONG BufferLen, ULONG ulFlags) override;
  DWORD BluetoothGetDeviceInfo(HANDLE hRadio, BLUETOOTH_DEVICE_INFO* pbtdi) override;
  HRESULT BluetoothGATTGetServices(HANDLE, USHORT, PBTH_LE_GATT_SERVICE, USHORT*, ULONG) override;
  HRESULT BluetoothGATTGetIncludedServices(HANDLE, PBTH_LE_GATT_SERVICE, USHORT, PBTH_LE_GATT_SERVICE, USHORT*,
                                           ULONG) override;
  HRESULT BluetoothGATTGetCharacteristics(HANDLE, PBTH_LE_GATT_SERVICE, USHORT, PBTH_LE_GATT_CHARACTERISTIC, USHORT*,
                                          ULONG) override;
  HRESULT BluetoothGATTGetDescriptors(HANDLE, PBTH_LE_GATT_CHARACTERISTIC, USHORT, PBTH_LE_GATT_DESCRIPTOR, USHORT*,
                                      ULONG) override;
  HRESULT BluetoothGATTGetCharacteristicValue(HANDLE, PBTH_LE_GATT_CHARACTERISTIC, ULONG,
                                              PBTH_LE_GATT_CHARACTERISTIC_VALUE, USHORT*, ULONG) override;
  HRESULT BluetoothGATTGetDescriptorValue(HANDLE, PBTH_LE_GATT_DESCRIPTOR, ULONG, PBTH_LE_GATT_DESCRIPTOR_VALUE, USHORT*,
                                          ULONG) override;
  HRESULT BluetoothGATTSetDescriptorValue(HANDLE, PBTH_LE_GATT_DESCRIPTOR, PBTH_LE_GATT_DESCRIPTOR_VALUE,
                                          ULONG) override;
  HRESULT BluetoothGATTRegisterEvent(HANDLE, BTH_LE_GATT_EVENT_TYPE, PVOID, PFNBLUETOOTH_GATT_EVENT_CALLBACK, PVOID,
                                     BLUETOOTH_GATT_EVENT_HANDLE*, ULONG) override;
  HRESULT BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE, ULONG) override;
  HRESULT BluetoothGATTSetCharacteristicValue(HANDLE, PBTH_LE_GATT_CHARACTERISTIC, PBTH_LE_GATT_CHARACTERISTIC_VALUE,
                                              BTH_LE_GATT_RELIABLE_WRITE_CONTEXT, ULONG) override;
  BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) override;
  BOOL ReadFile(HANDLE File, LPVOID Buffer, DWORD NumberOfBytesToRead, LPDWORD NumberOfBytesRead,
                LPOVERLAPPED Overlapped) override;
  BOOL WriteFile(HANDLE File, LPCVOID Buffer, DWORD NumberOfBytesToWrite, LPDWORD NumberOfBytesWritten,
                 LPOVERLAPPED Overlapped) override;
  BOOL GetOverlappedResult(HANDLE File, LPOVERLAPPED Overlapped, LPDWORD NumberOfBytesTransferred, BOOL Wait) override;
  BOOL CancelIoEx(HANDLE File, LPOVERLAPPED Overlapped) override;

 private:
  struct Collection {
    SimulatedHidDevice::Collection description;
    std::wstring path;
    std::wstring instance;
    DEVINST devnode = 0;
    bool answering = true;
    std::vector<std::shared_ptr<SimulatedHidEndpoint>> endpoints;
  };
  struct Device {
    int id = 0;
    SimulatedHidDevice description;
    std::wstring instance;
    DEVINST devnode = 0;
    DEVINST parent = 0;  // a Bluetooth device's: its radio's node
    bool present = true;
    HostWrite onHostWrite;
    std::vector<Collection> collections;
  };
  struct OpenHandle {
    std::shared_ptr<Device> device;
    std::size_t collection = 0;
    std::shared_ptr<SimulatedHidEndpoint> endpoint;
  };
  // A device node of an info set: a collection, or (collection npos) the device itself.
  struct Node {
    std::shared_ptr<Device> device;
    std::size_t collection;
  };
  struct InfoSet {
    std::vector<Node> infos;
    std::vector<Node> interfaces;
    std::vector<std::wstring> others;  // interfaces of the radio or the GATT class
    GUID othersClass{};
  };
  struct Preparsed {
    SimulatedHidDevice::Collection description;
  };
  struct Registration {
    HDEVNOTIFY handle;
    HWND window;
    DWORD type;
    HANDLE file;
    GUID interfaceClass;
  };
  struct Radio {
    int id = 0;
    std::wstring path;
    std::wstring instance;
    bool present = true;
  };
  struct Gatt {
    std::wstring path;
    bool fixedLength = false;
    GattWrite onWrite;
    bool notifying = false;
    PFNBLUETOOTH_GATT_EVENT_CALLBACK callback = nullptr;
    void* context = nullptr;
    BLUETOOTH_GATT_EVENT_HANDLE events = nullptr;
    bool libraryMissing = false;
    bool unreadable = false;
    devio::Bytes value;  // the characteristic's: what the host wrote last
    int valueQueries = 0;
  };
  struct Pairing {
    BluetoothPairing description;
    int radio = 0;
    bool connected = false;
    SimulatedBluetoothRegistry::Entry registry;
  };

  // A whole message (header and what follows) for one window.
  struct Broadcast {
    HWND window;
    UINT event;
    std::vector<std::byte> message;
  };

  const OpenHandle* openHandleLocked(HANDLE file);
  InfoSet* infoSetLocked(HDEVINFO set);
  const Preparsed* preparsedLocked(PHIDP_PREPARSED_DATA data);
  bool nodeLocked(DEVINST devnode, Node* node);
  std::wstring nodeInstance(const Node& node) const;
  static DEVINST radioNode(int radio);
  const Radio* radioNodeLocked(DEVINST devnode);
  // The instance id of a device, collection or radio node.
  bool nodeIdLocked(DEVINST devnode, std::wstring* id);
  void interfaceBroadcastsLocked(const Device& device, UINT event, std::vector<Broadcast>& out);
  // Arrival or removal of an interface of a class other than HID.
  void classBroadcastsLocked(const GUID& interfaceClass, const std::wstring& path, UINT event, std::vector<Broadcast>& out);
  Gatt* gattLocked(HANDLE file);
  // A DBT_CUSTOMEVENT with data for every registration on one of the radio's handles.
  void customEventsLocked(int radio, const GUID& event, const void* data, std::size_t size, std::vector<Broadcast>& out);
  void inRangeEventLocked(std::uint64_t address, const Pairing& pairing, ULONG flags, ULONG previous,
                          std::vector<Broadcast>& out);
  static void deliver(const std::vector<Broadcast>& broadcasts);
  BOOL translated(HANDLE file, BOOL result);
  static void fillInfo(DEVINST devnode, PSP_DEVINFO_DATA info);

  std::mutex mutex_;  // guards everything below
  int nextId_ = 1;
  std::uintptr_t nextRegistration_ = 1;
  std::map<int, std::shared_ptr<Device>> devices_;
  std::map<HANDLE, OpenHandle> handles_;
  std::set<InfoSet*> infoSets_;
  std::map<PHIDP_PREPARSED_DATA, std::unique_ptr<Preparsed>> preparsed_;
  std::vector<Registration> registrations_;
  std::map<int, Radio> radios_;
  std::map<HANDLE, int> radioHandles_;  // open radio handles and their radio
  int radioOpens_ = 0;
  std::map<int, Gatt> gatts_;
  std::map<HANDLE, int> gattHandles_;
  std::uintptr_t nextGattEvent_ = 1;
  // Held while a value-changed event runs; ending a registration waits for it.
  std::recursive_mutex gattCallbackMutex_;
  std::map<std::uint64_t, Pairing> pairings_;  // by address
  int nextPairing_ = 1;
  SimulatedBluetoothRegistry registry_;
};

}  // namespace sim
