#include "sim/win32/SimulatedWin32System.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "devio/protocol/DevioException.h"
#include "devio/runtime/WideText.h"
#include "devio/win32/BluetoothRadioEvents.h"

namespace sim {

using devio::Bytes;
using devio::WideText;

namespace {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID interface class.
constexpr GUID kHidGuid = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}, the HIDClass setup class.
constexpr GUID kHidClass = {0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};
constexpr std::size_t kDeviceNode = static_cast<std::size_t>(-1);
// What every GATT call answers without a radio.
const HRESULT kNoRadio = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
// {0850302A-B344-4FDA-9BE9-90576B8D46F0}, the Bluetooth radio interface class.
constexpr GUID kRadioGuid = {0x0850302a, 0xb344, 0x4fda, {0x9b, 0xe9, 0x90, 0x57, 0x6b, 0x8d, 0x46, 0xf0}};
// {7EAE4030-B709-4AA8-AC55-E953829C9DAA}
constexpr GUID kL2capEvent = {0x7eae4030, 0xb709, 0x4aa8, {0xac, 0x55, 0xe9, 0x53, 0x82, 0x9c, 0x9d, 0xaa}};
// {EA3B5B82-26EE-450E-B0D8-D26FE30A3869}
constexpr GUID kRadioInRange = {0xea3b5b82, 0x26ee, 0x450e, {0xb0, 0xd8, 0xd2, 0x6f, 0xe3, 0x0a, 0x38, 0x69}};
constexpr USHORT kPsmHidInterrupt = 0x0013;
// {00010000-0000-1000-8000-011F20001D7A}: the Velo GATT service and its fixed-length characteristic.
constexpr GUID kGattGuid = {0x00010000, 0x0000, 0x1000, {0x80, 0x00, 0x01, 0x1f, 0x20, 0x00, 0x1d, 0x7a}};
// {00010001-0000-1000-8000-011F20001D7A}: the variable-length characteristic.
constexpr GUID kGattVariable = {0x00010001, 0x0000, 0x1000, {0x80, 0x00, 0x01, 0x1f, 0x20, 0x00, 0x1d, 0x7a}};
constexpr USHORT kServiceHandle = 0x000C;
constexpr USHORT kCharacteristicHandle = 0x000D;
constexpr USHORT kConfigurationHandle = 0x000F;

bool isOtherClass(const GUID& interfaceClass) {
  return IsEqualGUID(interfaceClass, kRadioGuid) || IsEqualGUID(interfaceClass, kGattGuid);
}

BTH_LE_UUID longUuid(const GUID& guid) {
  BTH_LE_UUID uuid{};
  uuid.Value.LongUuid = guid;
  return uuid;
}
constexpr ULONG kPairedFlags = BDIF_ADDRESS | BDIF_NAME | BDIF_PAIRED | BDIF_PERSONAL;
// An LE device's pairing shows in its LE flags only.
constexpr ULONG kLePairedFlags = BDIF_ADDRESS | BDIF_NAME | BDIF_LE | BDIF_LE_PAIRED | BDIF_LE_PERSONAL;

std::wstring hex4(unsigned value) {
  wchar_t text[8];
  std::swprintf(text, 8, L"%04X", value & 0xFFFF);
  return text;
}

std::wstring hex12(std::uint64_t value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%012llX", static_cast<unsigned long long>(value & 0xFFFFFFFFFFFFull));
  return text;
}

}  // namespace

// ---- the test's side ----

int SimulatedWin32System::plug(SimulatedHidDevice description, HostWrite onHostWrite) {
  std::vector<Broadcast> broadcasts;
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    auto device = std::make_shared<Device>();
    device->id = id;
    device->devnode = static_cast<DEVINST>(id * 16);
    std::wstring ids = L"VID_" + hex4(description.vid) + L"&PID_" + hex4(description.pid);
    std::wstring serial = L"SIM" + std::to_wstring(id);
    device->instance = L"USB\\" + ids + L"\\" + serial;
    const auto pairing = pairings_.find(description.bluetoothAddress);
    if (pairing != pairings_.end()) {
      // The node names of its interfaces begin with the pairing's ParentIDPrefix.
      ids = WideText::fromUtf8(pairing->second.description.model);
      serial = hex12(description.bluetoothAddress);
      device->instance = pairing->second.registry.enumKey.substr(pairing->second.registry.enumKey.rfind(L'\\') + 1) + L"\\" +
                         ids + L"\\" + pairing->second.registry.instance;
      device->parent = radioNode(pairing->second.radio);
    }
    for (std::size_t i = 0; i < description.collections.size(); ++i) {
      Collection collection;
      collection.description = description.collections[i];
      const std::wstring col = L"&COL" + std::wstring(i < 9 ? L"0" : L"") + std::to_wstring(i + 1);
      const std::wstring node = L"8&" + serial + L"&0&" + hex4(static_cast<unsigned>(i));
      collection.instance = L"HID\\" + ids + col + L"\\" + node;
      collection.path = L"\\\\?\\hid#" + ids + col + L"#" + node + L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
      collection.devnode = device->devnode + static_cast<DEVINST>(i + 1);
      device->collections.push_back(std::move(collection));
    }
    device->description = std::move(description);
    device->onHostWrite = std::move(onHostWrite);
    devices_[id] = device;
    interfaceBroadcastsLocked(*device, DBT_DEVICEARRIVAL, broadcasts);
  }
  deliver(broadcasts);
  return id;
}

void SimulatedWin32System::unplug(int id) {
  std::vector<Broadcast> broadcasts;
  std::vector<std::shared_ptr<SimulatedHidEndpoint>> severed;
  {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(id);
    if (it == devices_.end()) return;
    const auto device = it->second;
    device->present = false;
    for (auto& collection : device->collections) {
      severed.insert(severed.end(), collection.endpoints.begin(), collection.endpoints.end());
      collection.endpoints.clear();
    }
    devices_.erase(it);
    interfaceBroadcastsLocked(*device, DBT_DEVICEREMOVECOMPLETE, broadcasts);
  }
  // Pending reads end first, as when a device is pulled; then the notifications.
  for (const auto& endpoint : severed) endpoint->sever();
  deliver(broadcasts);
}

void SimulatedWin32System::queryRemove(int id) {
  std::vector<Broadcast> broadcasts;
  {
    std::lock_guard lock(mutex_);
    for (const auto& registration : registrations_) {
      if (registration.type != DBT_DEVTYP_HANDLE) continue;
      const auto it = handles_.find(registration.file);
      if (it == handles_.end() || it->second.device->id != id || !it->second.endpoint->alive()) continue;
      Broadcast broadcast{registration.window, DBT_DEVICEQUERYREMOVE, std::vector<std::byte>(sizeof(DEV_BROADCAST_HANDLE))};
      auto* header = reinterpret_cast<DEV_BROADCAST_HANDLE*>(broadcast.message.data());
      header->dbch_size = sizeof(DEV_BROADCAST_HANDLE);
      header->dbch_devicetype = DBT_DEVTYP_HANDLE;
      header->dbch_handle = registration.file;
      header->dbch_hdevnotify = registration.handle;
      broadcasts.push_back(std::move(broadcast));
    }
  }
  deliver(broadcasts);
}

bool SimulatedWin32System::send(int id, std::size_t collection, const Bytes& report) {
  std::vector<std::shared_ptr<SimulatedHidEndpoint>> endpoints;
  {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(id);
    if (it == devices_.end() || collection >= it->second->collections.size()) return false;
    endpoints = it->second->collections[collection].endpoints;
  }
  bool taken = false;
  for (const auto& endpoint : endpoints) taken = endpoint->send(report) || taken;
  return taken;
}

void SimulatedWin32System::stopAnswering(int id, std::size_t collection) {
  std::lock_guard lock(mutex_);
  const auto it = devices_.find(id);
  if (it == devices_.end() || collection >= it->second->collections.size()) return;
  auto& target = it->second->collections[collection];
  target.answering = false;
  for (const auto& endpoint : target.endpoints) endpoint->stopReading();
}

std::string SimulatedWin32System::path(int id, std::size_t collection) {
  std::lock_guard lock(mutex_);
  const auto it = devices_.find(id);
  return it == devices_.end() ? std::string() : WideText::toUtf8(it->second->collections.at(collection).path);
}

std::string SimulatedWin32System::instance(int id) {
  std::lock_guard lock(mutex_);
  const auto it = devices_.find(id);
  return it == devices_.end() ? std::string() : WideText::toUtf8(it->second->instance);
}

int SimulatedWin32System::openHandles(int id, std::size_t collection) {
  std::lock_guard lock(mutex_);
  const auto it = devices_.find(id);
  if (it == devices_.end()) return 0;
  const auto& endpoints = it->second->collections.at(collection).endpoints;
  return static_cast<int>(std::count_if(endpoints.begin(), endpoints.end(), [](const auto& e) { return e->alive(); }));
}

int SimulatedWin32System::waitForOpenHandles(int id, std::size_t collection, int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int open = openHandles(id, collection);
  while (open != expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    open = openHandles(id, collection);
  }
  return open;
}

void SimulatedWin32System::interfaceBroadcastsLocked(const Device& device, UINT event, std::vector<Broadcast>& out) {
  for (const auto& registration : registrations_) {
    if (registration.type != DBT_DEVTYP_DEVICEINTERFACE || !IsEqualGUID(registration.interfaceClass, kHidGuid)) continue;
    for (const auto& collection : device.collections) {
      const std::size_t size =
          offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (collection.path.size() + 1) * sizeof(wchar_t);
      Broadcast broadcast{registration.window, event, std::vector<std::byte>(size)};
      auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(broadcast.message.data());
      header->dbcc_size = static_cast<DWORD>(size);
      header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      header->dbcc_classguid = kHidGuid;
      std::memcpy(header->dbcc_name, collection.path.c_str(), (collection.path.size() + 1) * sizeof(wchar_t));
      out.push_back(std::move(broadcast));
    }
  }
}

void SimulatedWin32System::deliver(const std::vector<Broadcast>& broadcasts) {
  for (const auto& broadcast : broadcasts) {
    if (!IsWindow(broadcast.window)) continue;
    SendMessageW(broadcast.window, WM_DEVICECHANGE, broadcast.event, reinterpret_cast<LPARAM>(broadcast.message.data()));
  }
}

// ---- Bluetooth: the test's side ----

int SimulatedWin32System::addRadio() {
  std::vector<Broadcast> broadcasts;
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    Radio radio{id, L"\\\\?\\usb#vid_0a12&pid_0001#6&sim" + std::to_wstring(id) + L"&0&1#{0850302a-b344-4fda-9be9-90576b8d46f0}",
                L"USB\\VID_0A12&PID_0001\\6&SIM" + std::to_wstring(id) + L"&0&1"};
    classBroadcastsLocked(kRadioGuid, radio.path, DBT_DEVICEARRIVAL, broadcasts);
    radios_[id] = std::move(radio);
  }
  deliver(broadcasts);
  return id;
}

void SimulatedWin32System::removeRadio(int id) {
  std::vector<Broadcast> broadcasts;
  {
    std::lock_guard lock(mutex_);
    const auto it = radios_.find(id);
    if (it == radios_.end()) return;
    classBroadcastsLocked(kRadioGuid, it->second.path, DBT_DEVICEREMOVECOMPLETE, broadcasts);
    radios_.erase(it);
    std::erase_if(radioHandles_, [id](const auto& entry) { return entry.second == id; });
  }
  deliver(broadcasts);
}

std::string SimulatedWin32System::radioPath(int id) {
  std::lock_guard lock(mutex_);
  const auto it = radios_.find(id);
  return it == radios_.end() ? std::string() : WideText::toUtf8(it->second.path);
}

std::uint64_t SimulatedWin32System::pairBluetooth(int radio, BluetoothPairing description) {
  std::lock_guard lock(mutex_);
  // Parallel test processes share the prefix's registry: the process id keeps addresses apart.
  const std::uint64_t address = 0x001100000000ull | (static_cast<std::uint64_t>(GetCurrentProcessId() & 0xFFFFFF) << 8) |
                                static_cast<std::uint64_t>(nextPairing_++ & 0xFF);
  Pairing pairing{std::move(description), radio, false, {}};
  const std::wstring digits = hex12(address);
  pairing.registry.enumKey = pairing.description.le ? L"SYSTEM\\CurrentControlSet\\Enum\\BTHLEDevice"
                                                    : L"SYSTEM\\CurrentControlSet\\Enum\\BTHENUM";
  pairing.registry.model = WideText::fromUtf8(pairing.description.model);
  pairing.registry.instance = L"7&" + digits + L"&0&" + digits + L"_C00000000";
  pairing.registry.parentIdPrefix = L"8&" + digits + L"&0";
  if (pairing.description.addressValue) pairing.registry.address = address;
  registry_.write(pairing.registry);
  pairings_[address] = std::move(pairing);
  return address;
}

void SimulatedWin32System::setBluetoothConnected(std::uint64_t address, bool connected) {
  std::vector<Broadcast> broadcasts;
  {
    std::lock_guard lock(mutex_);
    const auto it = pairings_.find(address);
    if (it == pairings_.end() || it->second.connected == connected) return;
    Pairing& pairing = it->second;
    pairing.connected = connected;
    if (pairing.description.le) {
      const ULONG linked = kLePairedFlags | BDIF_CONNECTED;
      inRangeEventLocked(address, pairing, connected ? linked : kLePairedFlags, connected ? kLePairedFlags : linked,
                         broadcasts);
    } else {
      BTH_L2CAP_EVENT_INFO info{};
      info.bthAddress = address;
      info.psm = kPsmHidInterrupt;
      info.connected = connected ? 1 : 0;
      customEventsLocked(pairing.radio, kL2capEvent, &info, sizeof info, broadcasts);
    }
  }
  deliver(broadcasts);
}

void SimulatedWin32System::unpairBluetooth(std::uint64_t address) {
  std::vector<Broadcast> broadcasts;
  {
    std::lock_guard lock(mutex_);
    const auto it = pairings_.find(address);
    if (it == pairings_.end()) return;
    registry_.remove(it->second.registry);
    const ULONG before = (it->second.description.le ? kLePairedFlags : kPairedFlags) | (it->second.connected ? BDIF_CONNECTED : 0);
    inRangeEventLocked(address, it->second, BDIF_ADDRESS | BDIF_NAME, before, broadcasts);
    pairings_.erase(it);
  }
  deliver(broadcasts);
}

int SimulatedWin32System::radioOpens() {
  std::lock_guard lock(mutex_);
  return radioOpens_;
}

void SimulatedWin32System::classBroadcastsLocked(const GUID& interfaceClass, const std::wstring& path, UINT event,
                                                 std::vector<Broadcast>& out) {
  for (const auto& registration : registrations_) {
    if (registration.type != DBT_DEVTYP_DEVICEINTERFACE || !IsEqualGUID(registration.interfaceClass, interfaceClass)) continue;
    const std::size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(wchar_t);
    Broadcast broadcast{registration.window, event, std::vector<std::byte>(size)};
    auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(broadcast.message.data());
    header->dbcc_size = static_cast<DWORD>(size);
    header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header->dbcc_classguid = interfaceClass;
    std::memcpy(header->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    out.push_back(std::move(broadcast));
  }
}

// ---- GATT: the test's side ----

int SimulatedWin32System::plugGatt(std::uint16_t pid, bool fixedLength, GattWrite onWrite) {
  std::vector<Broadcast> broadcasts;
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    Gatt gatt;
    gatt.path = L"\\\\?\\bthledevice#{00010000-0000-1000-8000-011f20001d7a}_dev_vid&021d7a_pid&" + hex4(pid) +
                L"_rev&0001_" + hex12(0xD00000000000ull + static_cast<std::uint64_t>(id)) + L"#8&sim" + std::to_wstring(id) +
                L"&0&000c#{00010000-0000-1000-8000-011f20001d7a}";
    gatt.fixedLength = fixedLength;
    gatt.onWrite = std::move(onWrite);
    classBroadcastsLocked(kGattGuid, gatt.path, DBT_DEVICEARRIVAL, broadcasts);
    gatts_[id] = std::move(gatt);
  }
  deliver(broadcasts);
  return id;
}

void SimulatedWin32System::unplugGatt(int id) {
  std::vector<Broadcast> broadcasts;
  {
    std::lock_guard lock(mutex_);
    const auto it = gatts_.find(id);
    if (it == gatts_.end()) return;
    classBroadcastsLocked(kGattGuid, it->second.path, DBT_DEVICEREMOVECOMPLETE, broadcasts);
    gatts_.erase(it);
    std::erase_if(gattHandles_, [id](const auto& entry) { return entry.second == id; });
  }
  deliver(broadcasts);
}

void SimulatedWin32System::makeGattUnreadable(int id) {
  std::lock_guard lock(mutex_);
  const auto it = gatts_.find(id);
  if (it != gatts_.end()) it->second.unreadable = true;
}

int SimulatedWin32System::gattValueQueries(int id) {
  std::lock_guard lock(mutex_);
  const auto it = gatts_.find(id);
  return it == gatts_.end() ? 0 : it->second.valueQueries;
}

void SimulatedWin32System::loseGattLibrary(int id) {
  std::lock_guard lock(mutex_);
  const auto it = gatts_.find(id);
  if (it != gatts_.end()) it->second.libraryMissing = true;
}

std::string SimulatedWin32System::gattPath(int id) {
  std::lock_guard lock(mutex_);
  const auto it = gatts_.find(id);
  return it == gatts_.end() ? std::string() : WideText::toUtf8(it->second.path);
}

bool SimulatedWin32System::notifyGatt(int id, const Bytes& value) {
  std::lock_guard callbacks(gattCallbackMutex_);
  PFNBLUETOOTH_GATT_EVENT_CALLBACK callback = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(mutex_);
    const auto it = gatts_.find(id);
    if (it == gatts_.end() || !it->second.notifying || !it->second.callback) return false;
    callback = it->second.callback;
    context = it->second.context;
  }
  std::vector<std::byte> buffer(offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data) + std::max<std::size_t>(value.size(), 1));
  auto* characteristicValue = reinterpret_cast<PBTH_LE_GATT_CHARACTERISTIC_VALUE>(buffer.data());
  characteristicValue->DataSize = static_cast<ULONG>(value.size());
  std::copy(value.begin(), value.end(), characteristicValue->Data);
  BLUETOOTH_GATT_VALUE_CHANGED_EVENT event{kCharacteristicHandle, value.size(), characteristicValue};
  callback(CharacteristicValueChangedEvent, &event, context);
  return true;
}

SimulatedWin32System::Gatt* SimulatedWin32System::gattLocked(HANDLE file) {
  const auto handle = gattHandles_.find(file);
  if (handle == gattHandles_.end()) return nullptr;
  const auto it = gatts_.find(handle->second);
  if (it == gatts_.end()) return nullptr;
  if (it->second.libraryMissing) {
    throw devio::DevioException(devio::PlatformFunctionMissing, ERROR_MOD_NOT_FOUND, "LoadLibrary BluetoothApis.dll failed");
  }
  return &it->second;
}

void SimulatedWin32System::customEventsLocked(int radio, const GUID& event, const void* data, std::size_t size,
                                              std::vector<Broadcast>& out) {
  for (const auto& registration : registrations_) {
    const auto handle = radioHandles_.find(registration.file);
    if (registration.type != DBT_DEVTYP_HANDLE || handle == radioHandles_.end() || handle->second != radio) continue;
    const std::size_t total = offsetof(DEV_BROADCAST_HANDLE, dbch_data) + size;
    Broadcast broadcast{registration.window, DBT_CUSTOMEVENT, std::vector<std::byte>(std::max(total, sizeof(DEV_BROADCAST_HANDLE)))};
    auto* header = reinterpret_cast<DEV_BROADCAST_HANDLE*>(broadcast.message.data());
    header->dbch_size = static_cast<DWORD>(total);
    header->dbch_devicetype = DBT_DEVTYP_HANDLE;
    header->dbch_handle = registration.file;
    header->dbch_hdevnotify = registration.handle;
    header->dbch_eventguid = event;
    header->dbch_nameoffset = -1;
    std::memcpy(header->dbch_data, data, size);
    out.push_back(std::move(broadcast));
  }
}

void SimulatedWin32System::inRangeEventLocked(std::uint64_t address, const Pairing& pairing, ULONG flags, ULONG previous,
                                              std::vector<Broadcast>& out) {
  BTH_RADIO_IN_RANGE range{};
  range.deviceInfo.flags = flags;
  range.deviceInfo.address = address;
  range.deviceInfo.classOfDevice = 0x2580;
  std::snprintf(range.deviceInfo.name, sizeof range.deviceInfo.name, "%s", pairing.description.name.c_str());
  range.previousDeviceFlags = previous;
  customEventsLocked(pairing.radio, kRadioInRange, &range, sizeof range, out);
}

// ---- lookups ----

const SimulatedWin32System::OpenHandle* SimulatedWin32System::openHandleLocked(HANDLE file) {
  const auto it = handles_.find(file);
  return it == handles_.end() ? nullptr : &it->second;
}

SimulatedWin32System::InfoSet* SimulatedWin32System::infoSetLocked(HDEVINFO set) {
  auto* info = static_cast<InfoSet*>(set);
  return infoSets_.contains(info) ? info : nullptr;
}

const SimulatedWin32System::Preparsed* SimulatedWin32System::preparsedLocked(PHIDP_PREPARSED_DATA data) {
  const auto it = preparsed_.find(data);
  return it == preparsed_.end() ? nullptr : it->second.get();
}

bool SimulatedWin32System::nodeLocked(DEVINST devnode, Node* node) {
  const auto it = devices_.find(static_cast<int>(devnode / 16));
  if (it == devices_.end()) return false;
  const std::size_t index = devnode % 16;
  if (index > it->second->collections.size()) return false;
  *node = {it->second, index == 0 ? kDeviceNode : index - 1};
  return true;
}

DEVINST SimulatedWin32System::radioNode(int radio) { return static_cast<DEVINST>(radio * 16); }

const SimulatedWin32System::Radio* SimulatedWin32System::radioNodeLocked(DEVINST devnode) {
  if (devnode % 16 != 0) return nullptr;
  const auto it = radios_.find(static_cast<int>(devnode / 16));
  return it == radios_.end() ? nullptr : &it->second;
}

std::wstring SimulatedWin32System::nodeInstance(const Node& node) const {
  return node.collection == kDeviceNode ? node.device->instance : node.device->collections[node.collection].instance;
}

void SimulatedWin32System::fillInfo(DEVINST devnode, PSP_DEVINFO_DATA info) {
  info->ClassGuid = kHidClass;
  info->DevInst = devnode;
  info->Reserved = 0;
}

// ---- HID ----

void SimulatedWin32System::HidD_GetHidGuid(LPGUID HidGuid) { *HidGuid = kHidGuid; }

BOOLEAN SimulatedWin32System::HidD_GetAttributes(HANDLE file, PHIDD_ATTRIBUTES attributes) {
  std::lock_guard lock(mutex_);
  const OpenHandle* open = openHandleLocked(file);
  if (!open || attributes->Size != sizeof(HIDD_ATTRIBUTES)) {
    SetLastError(open ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  attributes->VendorID = open->device->description.vid;
  attributes->ProductID = open->device->description.pid;
  attributes->VersionNumber = open->device->description.version;
  return TRUE;
}

BOOLEAN SimulatedWin32System::HidD_GetProductString(HANDLE file, PVOID buffer, ULONG length) {
  std::lock_guard lock(mutex_);
  const OpenHandle* open = openHandleLocked(file);
  if (!open) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::wstring product = WideText::fromUtf8(open->device->description.product);
  const std::size_t bytes = (product.size() + 1) * sizeof(wchar_t);
  if (bytes > length) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, product.c_str(), bytes);
  return TRUE;
}

BOOLEAN SimulatedWin32System::HidD_GetPreparsedData(HANDLE file, PHIDP_PREPARSED_DATA* data) {
  std::lock_guard lock(mutex_);
  const OpenHandle* open = openHandleLocked(file);
  if (!open) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto parsed = std::make_unique<Preparsed>(Preparsed{open->device->collections[open->collection].description});
  *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(parsed.get());
  preparsed_[*data] = std::move(parsed);
  return TRUE;
}

BOOLEAN SimulatedWin32System::HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
  std::lock_guard lock(mutex_);
  return preparsed_.erase(data) > 0;
}

NTSTATUS SimulatedWin32System::HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
  std::lock_guard lock(mutex_);
  const Preparsed* parsed = preparsedLocked(data);
  if (!parsed) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  const auto& d = parsed->description;
  *caps = HIDP_CAPS{};
  caps->Usage = d.usage;
  caps->UsagePage = d.usagePage;
  caps->InputReportByteLength = d.inputLength;
  caps->OutputReportByteLength = d.outputLength;
  caps->NumberLinkCollectionNodes = 1;
  caps->NumberInputValueCaps = d.inputCaps;
  caps->NumberInputDataIndices = d.inputCaps;
  caps->NumberOutputValueCaps = static_cast<USHORT>(d.reportIds.size());
  caps->NumberOutputDataIndices = static_cast<USHORT>(d.reportIds.size());
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS SimulatedWin32System::HidP_GetValueCaps(HIDP_REPORT_TYPE type, PHIDP_VALUE_CAPS caps, PUSHORT length,
                                                 PHIDP_PREPARSED_DATA data) {
  std::lock_guard lock(mutex_);
  const Preparsed* parsed = preparsedLocked(data);
  if (!parsed) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  const auto& d = parsed->description;
  const std::vector<devio::Byte> inputIds(d.inputCaps, d.reportIds.empty() ? 0 : d.reportIds.front());
  const auto& ids = type == HidP_Output ? d.reportIds : type == HidP_Input ? inputIds : std::vector<devio::Byte>{};
  const std::size_t count = std::min<std::size_t>(*length, ids.size());
  const std::uint16_t reportLength = type == HidP_Output ? d.outputLength : d.inputLength;
  for (std::size_t i = 0; i < count; ++i) {
    caps[i] = HIDP_VALUE_CAPS{};
    caps[i].UsagePage = d.usagePage;
    caps[i].ReportID = ids[i];
    caps[i].BitSize = 8;
    caps[i].ReportCount = static_cast<USHORT>(reportLength - 1);
    caps[i].LogicalMax = 255;
    caps[i].NotRange.Usage = d.usage;
  }
  const bool tooSmall = *length < ids.size();
  *length = static_cast<USHORT>(count);
  return tooSmall ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

NTSTATUS SimulatedWin32System::HidP_GetButtonCaps(HIDP_REPORT_TYPE, PHIDP_BUTTON_CAPS, PUSHORT length,
                                                  PHIDP_PREPARSED_DATA data) {
  std::lock_guard lock(mutex_);
  if (!preparsedLocked(data)) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  *length = 0;  // the collections report values only
  return HIDP_STATUS_SUCCESS;
}

NTSTATUS SimulatedWin32System::HidP_GetLinkCollectionNodes(PHIDP_LINK_COLLECTION_NODE nodes, PULONG length,
                                                           PHIDP_PREPARSED_DATA data) {
  std::lock_guard lock(mutex_);
  const Preparsed* parsed = preparsedLocked(data);
  if (!parsed) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  if (*length < 1) {
    *length = 1;
    return HIDP_STATUS_BUFFER_TOO_SMALL;
  }
  nodes[0] = HIDP_LINK_COLLECTION_NODE{};
  nodes[0].LinkUsage = parsed->description.usage;
  nodes[0].LinkUsagePage = parsed->description.usagePage;
  nodes[0].CollectionType = 1;  // application
  *length = 1;
  return HIDP_STATUS_SUCCESS;
}

// ---- handles ----

HANDLE SimulatedWin32System::CreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, radio] : radios_) {
    if (radio.path != name) continue;
    // A real handle, which the bus closes as it closes any.
    const HANDLE file = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ++radioOpens_;
    if (file) radioHandles_[file] = id;
    return file ? file : INVALID_HANDLE_VALUE;
  }
  for (const auto& [id, gatt] : gatts_) {
    if (gatt.path != name) continue;
    const HANDLE file = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (file) gattHandles_[file] = id;
    return file ? file : INVALID_HANDLE_VALUE;
  }
  // Handles whose client end was closed are forgotten (their values may come back).
  std::erase_if(handles_, [](const auto& entry) { return entry.second.device->present && !entry.second.endpoint->alive(); });
  for (const auto& [id, device] : devices_) {
    for (std::size_t i = 0; i < device->collections.size(); ++i) {
      auto& collection = device->collections[i];
      if (collection.path != name) continue;
      if (!(flags & FILE_FLAG_OVERLAPPED)) break;  // the channel's I/O is overlapped only
      std::erase_if(collection.endpoints, [](const auto& e) { return !e->alive(); });
      std::weak_ptr<Device> weak = device;
      auto endpoint = std::make_shared<SimulatedHidEndpoint>(
          collection.description.outputLength,
          [weak, i](const Bytes& report) {
            const auto owner = weak.lock();
            if (owner && owner->onHostWrite) owner->onHostWrite(i, report);
          },
          collection.answering);
      const HANDLE file = endpoint->clientHandle();
      if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
      collection.endpoints.push_back(endpoint);
      handles_[file] = OpenHandle{device, i, endpoint};
      return file;
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

HDEVNOTIFY SimulatedWin32System::RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD) {
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
  if (!IsWindow(static_cast<HWND>(recipient)) ||
      (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE && header->dbch_devicetype != DBT_DEVTYP_HANDLE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  Registration registration{reinterpret_cast<HDEVNOTIFY>(nextRegistration_++), static_cast<HWND>(recipient),
                            header->dbch_devicetype, INVALID_HANDLE_VALUE, GUID{}};
  if (header->dbch_devicetype == DBT_DEVTYP_HANDLE) {
    registration.file = static_cast<const DEV_BROADCAST_HANDLE*>(filter)->dbch_handle;
  } else {
    registration.interfaceClass = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(filter)->dbcc_classguid;
  }
  registrations_.push_back(registration);
  return registration.handle;
}

BOOL SimulatedWin32System::UnregisterDeviceNotification(HDEVNOTIFY handle) {
  std::lock_guard lock(mutex_);
  if (std::erase_if(registrations_, [handle](const Registration& r) { return r.handle == handle; }) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL SimulatedWin32System::translated(HANDLE file, BOOL result) {
  if (result) return result;
  const DWORD error = GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA) {
    std::lock_guard lock(mutex_);
    const OpenHandle* open = openHandleLocked(file);
    SetLastError(open && !open->device->present ? ERROR_DEVICE_NOT_CONNECTED : error);
  }
  return result;
}

BOOL SimulatedWin32System::ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  return translated(file, ::ReadFile(file, buffer, size, read, overlapped));
}

BOOL SimulatedWin32System::WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                                     LPOVERLAPPED overlapped) {
  return translated(file, ::WriteFile(file, buffer, size, written, overlapped));
}

BOOL SimulatedWin32System::GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
  return translated(file, ::GetOverlappedResult(file, overlapped, transferred, wait));
}

BOOL SimulatedWin32System::CancelIoEx(HANDLE file, LPOVERLAPPED overlapped) { return ::CancelIoEx(file, overlapped); }

// ---- device setup ----

HDEVINFO SimulatedWin32System::SetupDiCreateDeviceInfoList(const GUID*, HWND) {
  std::lock_guard lock(mutex_);
  auto* set = new InfoSet;
  infoSets_.insert(set);
  return set;
}

HDEVINFO SimulatedWin32System::SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND, DWORD flags) {
  if (!(flags & DIGCF_DEVICEINTERFACE) || !classGuid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::lock_guard lock(mutex_);
  auto* set = new InfoSet;
  infoSets_.insert(set);
  set->othersClass = *classGuid;
  if (IsEqualGUID(*classGuid, kRadioGuid)) {
    for (const auto& [id, radio] : radios_) {
      if (!enumerator || radio.instance == enumerator) set->others.push_back(radio.path);
    }
  }
  if (IsEqualGUID(*classGuid, kGattGuid)) {
    for (const auto& [id, gatt] : gatts_) set->others.push_back(gatt.path);
  }
  if (!IsEqualGUID(*classGuid, kHidGuid)) return set;
  for (const auto& [id, device] : devices_) {
    for (std::size_t i = 0; i < device->collections.size(); ++i) {
      if (enumerator && device->collections[i].instance != enumerator) continue;
      set->interfaces.push_back({device, i});
      set->infos.push_back({device, i});
    }
  }
  return set;
}

BOOL SimulatedWin32System::SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  infoSets_.erase(set);
  delete set;
  return TRUE;
}

BOOL SimulatedWin32System::SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA, const GUID* interfaceClass,
                                                       DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  if (!set || !data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(set ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const bool other = isOtherClass(*interfaceClass);
  if ((!other && !IsEqualGUID(*interfaceClass, kHidGuid)) || index >= (other ? set->others.size() : set->interfaces.size())) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = *interfaceClass;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index + 1;
  return TRUE;
}

BOOL SimulatedWin32System::SetupDiGetDeviceInterfaceDetailW(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                                            PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                                            PDWORD required, PSP_DEVINFO_DATA info) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  const bool other = data && isOtherClass(data->InterfaceClassGuid);
  if (!set || !data || data->Reserved == 0 || data->Reserved > (other ? set->others.size() : set->interfaces.size())) {
    SetLastError(set ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::wstring& path = other ? set->others[data->Reserved - 1]
                                   : set->interfaces[data->Reserved - 1].device->collections[set->interfaces[data->Reserved - 1].collection].path;
  const DWORD needed =
      static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * sizeof(wchar_t));
  if (required) *required = needed;
  if (!detail || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ||
      (info && info->cbSize != sizeof(SP_DEVINFO_DATA))) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  if (info && !other) {
    const Node& node = set->interfaces[data->Reserved - 1];
    fillInfo(node.device->collections[node.collection].devnode, info);
  }
  return TRUE;
}

BOOL SimulatedWin32System::SetupDiOpenDeviceInterfaceW(HDEVINFO handle, PCWSTR path, DWORD,
                                                       PSP_DEVICE_INTERFACE_DATA data) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (const auto& [id, device] : devices_) {
    for (std::size_t i = 0; i < device->collections.size(); ++i) {
      if (device->collections[i].path != path) continue;
      set->interfaces.push_back({device, i});
      set->infos.push_back({device, i});
      if (data) {
        data->InterfaceClassGuid = kHidGuid;
        data->Flags = SPINT_ACTIVE;
        data->Reserved = set->interfaces.size();
      }
      return TRUE;
    }
  }
  SetLastError(ERROR_NO_SUCH_DEVICE_INTERFACE);
  return FALSE;
}

BOOL SimulatedWin32System::SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA info) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  if (!set || !info || info->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(set ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (index >= set->infos.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const Node& node = set->infos[index];
  fillInfo(node.collection == kDeviceNode ? node.device->devnode : node.device->collections[node.collection].devnode, info);
  return TRUE;
}

BOOL SimulatedWin32System::SetupDiOpenDeviceInfoW(HDEVINFO handle, PCWSTR instance, HWND, DWORD,
                                                  PSP_DEVINFO_DATA info) {
  std::lock_guard lock(mutex_);
  InfoSet* set = infoSetLocked(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (const auto& [id, device] : devices_) {
    for (std::size_t i = 0; i <= device->collections.size(); ++i) {
      const Node node{device, i == 0 ? kDeviceNode : i - 1};
      if (nodeInstance(node) != instance) continue;
      set->infos.push_back(node);
      if (info) fillInfo(device->devnode + static_cast<DEVINST>(i), info);
      return TRUE;
    }
  }
  for (const auto& [id, radio] : radios_) {
    if (radio.instance != instance) continue;
    if (info) fillInfo(radioNode(id), info);
    return TRUE;
  }
  SetLastError(ERROR_NO_SUCH_DEVINST);
  return FALSE;
}

BOOL SimulatedWin32System::SetupDiGetDevicePropertyW(HDEVINFO, PSP_DEVINFO_DATA, const DEVPROPKEY*, DEVPROPTYPE*, PBYTE,
                                                     DWORD, PDWORD, DWORD) {
  SetLastError(ERROR_NOT_FOUND);
  return FALSE;
}

// ---- configuration manager ----

CONFIGRET SimulatedWin32System::CM_Get_Parent(PDEVINST parent, DEVINST devnode, ULONG) {
  std::lock_guard lock(mutex_);
  Node node;
  if (!nodeLocked(devnode, &node)) return radioNodeLocked(devnode) ? CR_NO_SUCH_DEVNODE : CR_INVALID_DEVNODE;
  if (node.collection != kDeviceNode) {
    *parent = node.device->devnode;
    return CR_SUCCESS;
  }
  // A Bluetooth device hangs under its radio while the radio is there.
  if (!node.device->parent || !radioNodeLocked(node.device->parent)) return CR_NO_SUCH_DEVNODE;
  *parent = node.device->parent;
  return CR_SUCCESS;
}

bool SimulatedWin32System::nodeIdLocked(DEVINST devnode, std::wstring* id) {
  Node node;
  if (nodeLocked(devnode, &node)) {
    *id = nodeInstance(node);
  } else if (const Radio* radio = radioNodeLocked(devnode)) {
    *id = radio->instance;
  } else {
    return false;
  }
  return true;
}

CONFIGRET SimulatedWin32System::CM_Get_Device_ID_Size(PULONG length, DEVINST devnode, ULONG) {
  std::lock_guard lock(mutex_);
  std::wstring id;
  if (!nodeIdLocked(devnode, &id)) return CR_INVALID_DEVNODE;
  *length = static_cast<ULONG>(id.size());
  return CR_SUCCESS;
}

CONFIGRET SimulatedWin32System::CM_Get_Device_IDW(DEVINST devnode, PWCHAR buffer, ULONG length, ULONG) {
  std::lock_guard lock(mutex_);
  std::wstring id;
  if (!nodeIdLocked(devnode, &id)) return CR_INVALID_DEVNODE;
  if (length < id.size()) return CR_BUFFER_SMALL;
  std::copy(id.begin(), id.end(), buffer);
  if (length > id.size()) buffer[id.size()] = L'\0';
  return CR_SUCCESS;
}

// ---- Bluetooth ----

DWORD SimulatedWin32System::BluetoothGetDeviceInfo(HANDLE radio, BLUETOOTH_DEVICE_INFO* info) {
  std::lock_guard lock(mutex_);
  const auto handle = radioHandles_.find(radio);
  if (handle == radioHandles_.end() || !info || info->dwSize != sizeof(BLUETOOTH_DEVICE_INFO)) return ERROR_INVALID_PARAMETER;
  const auto it = pairings_.find(info->Address.ullLong);
  if (it == pairings_.end() || it->second.radio != handle->second || !it->second.description.reported) return ERROR_NOT_FOUND;
  info->ulClassofDevice = 0x2580;
  info->fConnected = it->second.connected;
  info->fRemembered = TRUE;
  info->fAuthenticated = TRUE;
  const std::wstring name = WideText::fromUtf8(it->second.description.name);
  std::swprintf(info->szName, BLUETOOTH_MAX_NAME_SIZE, L"%ls", name.c_str());
  return ERROR_SUCCESS;
}

HRESULT SimulatedWin32System::BluetoothGATTGetServices(HANDLE file, USHORT count, PBTH_LE_GATT_SERVICE services,
                                                       USHORT* actual, ULONG) {
  std::lock_guard lock(mutex_);
  if (!gattLocked(file)) return kNoRadio;
  *actual = 1;
  if (count < 1 || !services) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  services[0] = BTH_LE_GATT_SERVICE{longUuid(kGattGuid), kServiceHandle};
  return S_OK;
}
HRESULT SimulatedWin32System::BluetoothGATTGetIncludedServices(HANDLE, PBTH_LE_GATT_SERVICE, USHORT, PBTH_LE_GATT_SERVICE,
                                                               USHORT* actual, ULONG) {
  if (actual) *actual = 0;
  return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}
HRESULT SimulatedWin32System::BluetoothGATTGetCharacteristics(HANDLE file, PBTH_LE_GATT_SERVICE service, USHORT count,
                                                              PBTH_LE_GATT_CHARACTERISTIC characteristics, USHORT* actual,
                                                              ULONG) {
  std::lock_guard lock(mutex_);
  const Gatt* gatt = gattLocked(file);
  if (!gatt) return kNoRadio;
  if (!service || service->AttributeHandle != kServiceHandle) return E_INVALIDARG;
  *actual = 1;
  if (count < 1 || !characteristics) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  BTH_LE_GATT_CHARACTERISTIC characteristic{};
  characteristic.ServiceHandle = kServiceHandle;
  characteristic.CharacteristicUuid = longUuid(gatt->fixedLength ? kGattGuid : kGattVariable);
  characteristic.AttributeHandle = kCharacteristicHandle;
  characteristic.CharacteristicValueHandle = kCharacteristicHandle + 1;
  characteristic.IsReadable = !gatt->unreadable;
  characteristic.IsWritable = TRUE;
  characteristic.IsWritableWithoutResponse = TRUE;
  characteristic.IsNotifiable = TRUE;
  characteristics[0] = characteristic;
  return S_OK;
}
HRESULT SimulatedWin32System::BluetoothGATTGetDescriptors(HANDLE file, PBTH_LE_GATT_CHARACTERISTIC characteristic, USHORT count,
                                                          PBTH_LE_GATT_DESCRIPTOR descriptors, USHORT* actual, ULONG) {
  std::lock_guard lock(mutex_);
  if (!gattLocked(file)) return kNoRadio;
  if (!characteristic || characteristic->AttributeHandle != kCharacteristicHandle) return E_INVALIDARG;
  *actual = 1;
  if (count < 1 || !descriptors) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  BTH_LE_GATT_DESCRIPTOR descriptor{};
  descriptor.ServiceHandle = kServiceHandle;
  descriptor.CharacteristicHandle = kCharacteristicHandle;
  descriptor.DescriptorType = ClientCharacteristicConfiguration;
  descriptor.DescriptorUuid.IsShortUuid = TRUE;
  descriptor.DescriptorUuid.Value.ShortUuid = 0x2902;
  descriptor.AttributeHandle = kConfigurationHandle;
  descriptors[0] = descriptor;
  return S_OK;
}
namespace {

// The host's two calls: without room the size needed and ERROR_MORE_DATA, then the value.
template <class Value>
HRESULT answerValue(const Bytes& data, ULONG size, Value* value, USHORT* required, const Value& head) {
  const std::size_t needed = std::max(sizeof(Value), offsetof(Value, Data) + data.size());
  if (!required) return E_INVALIDARG;
  *required = static_cast<USHORT>(needed);
  if (!value || size < needed) return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
  *value = head;
  value->DataSize = static_cast<ULONG>(data.size());
  std::copy(data.begin(), data.end(), value->Data);
  return S_OK;
}

}  // namespace

HRESULT SimulatedWin32System::BluetoothGATTGetCharacteristicValue(HANDLE file, PBTH_LE_GATT_CHARACTERISTIC characteristic,
                                                                  ULONG size, PBTH_LE_GATT_CHARACTERISTIC_VALUE value,
                                                                  USHORT* required, ULONG) {
  std::lock_guard lock(mutex_);
  Gatt* gatt = gattLocked(file);
  if (!gatt) return kNoRadio;
  if (!characteristic || characteristic->AttributeHandle != kCharacteristicHandle) return E_INVALIDARG;
  ++gatt->valueQueries;
  if (gatt->unreadable) return E_ACCESSDENIED;
  return answerValue(gatt->value, size, value, required, BTH_LE_GATT_CHARACTERISTIC_VALUE{});
}
HRESULT SimulatedWin32System::BluetoothGATTGetDescriptorValue(HANDLE file, PBTH_LE_GATT_DESCRIPTOR descriptor, ULONG size,
                                                              PBTH_LE_GATT_DESCRIPTOR_VALUE value, USHORT* required, ULONG) {
  std::lock_guard lock(mutex_);
  Gatt* gatt = gattLocked(file);
  if (!gatt) return kNoRadio;
  if (!descriptor || descriptor->AttributeHandle != kConfigurationHandle) return E_INVALIDARG;
  ++gatt->valueQueries;
  if (gatt->unreadable) return E_ACCESSDENIED;
  BTH_LE_GATT_DESCRIPTOR_VALUE head{};
  head.DescriptorType = ClientCharacteristicConfiguration;
  head.DescriptorUuid.IsShortUuid = TRUE;
  head.DescriptorUuid.Value.ShortUuid = 0x2902;
  head.ClientCharacteristicConfiguration.IsSubscribeToNotification = gatt->notifying;
  return answerValue(Bytes{static_cast<devio::Byte>(gatt->notifying ? 1 : 0), 0}, size, value, required, head);
}
HRESULT SimulatedWin32System::BluetoothGATTSetDescriptorValue(HANDLE file, PBTH_LE_GATT_DESCRIPTOR descriptor,
                                                              PBTH_LE_GATT_DESCRIPTOR_VALUE value, ULONG) {
  std::lock_guard lock(mutex_);
  Gatt* gatt = gattLocked(file);
  if (!gatt) return kNoRadio;
  if (!descriptor || !value || descriptor->AttributeHandle != kConfigurationHandle ||
      value->DescriptorType != ClientCharacteristicConfiguration) {
    return E_INVALIDARG;
  }
  gatt->notifying = value->ClientCharacteristicConfiguration.IsSubscribeToNotification;
  return S_OK;
}
HRESULT SimulatedWin32System::BluetoothGATTRegisterEvent(HANDLE file, BTH_LE_GATT_EVENT_TYPE type, PVOID parameter,
                                                         PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, PVOID context,
                                                         BLUETOOTH_GATT_EVENT_HANDLE* events, ULONG) {
  std::lock_guard lock(mutex_);
  Gatt* gatt = gattLocked(file);
  if (!gatt) return kNoRadio;
  const auto* registration = static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION*>(parameter);
  if (type != CharacteristicValueChangedEvent || !registration || registration->NumCharacteristics != 1 ||
      registration->Characteristics[0].AttributeHandle != kCharacteristicHandle || !callback || !events) {
    return E_INVALIDARG;
  }
  gatt->callback = callback;
  gatt->context = context;
  gatt->events = reinterpret_cast<BLUETOOTH_GATT_EVENT_HANDLE>(nextGattEvent_++);
  *events = gatt->events;
  return S_OK;
}
HRESULT SimulatedWin32System::BluetoothGATTUnregisterEvent(BLUETOOTH_GATT_EVENT_HANDLE events, ULONG) {
  std::lock_guard callbacks(gattCallbackMutex_);  // a running event ends first
  std::lock_guard lock(mutex_);
  for (auto& [id, gatt] : gatts_) {
    if (gatt.events != events) continue;
    gatt.events = nullptr;
    gatt.callback = nullptr;
    gatt.context = nullptr;
    return S_OK;
  }
  return E_INVALIDARG;
}
HRESULT SimulatedWin32System::BluetoothGATTSetCharacteristicValue(HANDLE file, PBTH_LE_GATT_CHARACTERISTIC characteristic,
                                                                  PBTH_LE_GATT_CHARACTERISTIC_VALUE value,
                                                                  BTH_LE_GATT_RELIABLE_WRITE_CONTEXT, ULONG) {
  GattWrite onWrite;
  {
    std::lock_guard lock(mutex_);
    Gatt* gatt = gattLocked(file);
    if (!gatt) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    if (!characteristic || !value || characteristic->AttributeHandle != kCharacteristicHandle) return E_INVALIDARG;
    gatt->value.assign(value->Data, value->Data + value->DataSize);
    onWrite = gatt->onWrite;
  }
  if (onWrite) onWrite(Bytes(value->Data, value->Data + value->DataSize));
  return S_OK;
}

}  // namespace sim
