#include "devio/win32/BluetoothMicrosoftBus.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "devio/protocol/DevioException.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/BluetoothRadioEvents.h"
#include "devio/win32/HexText.h"
#include "devio/win32/InterfacePaths.h"
#include "devio/win32/Win32Bus.h"

#define FN(name) "devio::BluetoothMicrosoftBus::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Untagged";
constexpr int kClassic = 2;
constexpr int kLe = 3;
constexpr USHORT kPsmHidInterrupt = 0x0013;
// {0850302A-B344-4FDA-9BE9-90576B8D46F0}
constexpr GUID kRadioInterface = {0x0850302a, 0xb344, 0x4fda, {0x9b, 0xe9, 0x90, 0x57, 0x6b, 0x8d, 0x46, 0xf0}};
// {7EAE4030-B709-4AA8-AC55-E953829C9DAA}
constexpr GUID kL2capEvent = {0x7eae4030, 0xb709, 0x4aa8, {0xac, 0x55, 0xe9, 0x53, 0x82, 0x9c, 0x9d, 0xaa}};
// {EA3B5B82-26EE-450E-B0D8-D26FE30A3869}
constexpr GUID kRadioInRange = {0xea3b5b82, 0x26ee, 0x450e, {0xb0, 0xd8, 0xd2, 0x6f, 0xe3, 0x0a, 0x38, 0x69}};
// {E28867C9-C2AA-4CED-B969-4570866037C4}
constexpr GUID kRadioOutOfRange = {0xe28867c9, 0xc2aa, 0x4ced, {0xb9, 0x69, 0x45, 0x70, 0x86, 0x60, 0x37, 0xc4}};
// {FC240062-1541-49BE-B463-84C4DCD7BF7F}
constexpr GUID kHciEvent = {0xfc240062, 0x1541, 0x49be, {0xb4, 0x63, 0x84, 0xc4, 0xdc, 0xd7, 0xbf, 0x7f}};
// {547247E6-45BB-4C33-AF8C-C00EFE15A71D}
constexpr GUID kHciVendorEvent = {0x547247e6, 0x45bb, 0x4c33, {0xaf, 0x8c, 0xc0, 0x0e, 0xfe, 0x15, 0xa7, 0x1d}};
// Losing either is an unpairing.
constexpr ULONG kPersonalFlags = BDIF_PERSONAL | BDIF_LE_PERSONAL;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

Key openKey(HKEY parent, const std::wstring& name, LSTATUS* status) {
  HKEY key = nullptr;
  *status = RegOpenKeyExW(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
  return Key(*status == ERROR_SUCCESS ? key : nullptr);
}

std::vector<std::string> subkeys(HKEY key) {
  std::vector<std::string> names;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(WideText::toUtf8(std::wstring(name, length)));
  }
  return names;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Registry names and interface paths differ in case.
bool contains(const std::string& path, const std::string& part) { return lower(path).find(lower(part)) != std::string::npos; }

// The address in the last 12 characters of a model name, most significant digit first.
bool addressFromModel(const std::string& model, std::uint64_t* address) {
  if (model.size() <= 12) return false;
  const std::string digits = model.substr(model.size() - 12);
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); })) return false;
  *address = std::stoull(digits, nullptr, 16);
  return true;
}

const char* psmName(USHORT psm, char* buffer, std::size_t size) {
  switch (psm) {
    case 0x0003:
      return "PSM_RFCOMM";
    case 0x0005:
      return "PSM_TCS_BIN_CORDLESS";
    case 0x000F:
      return "PSM_BNEP";
    case kPsmHidInterrupt:
      return "PSM_HID_INTERRUPT";
    case 0x0017:
      return "PSM_AVCTP";
    case 0x0019:
      return "PSM_AVDTP";
    default:
      std::snprintf(buffer, size, "psm=0x%04x", psm);
      return buffer;
  }
}

const char* connectionTypeName(UCHAR type, char* buffer, std::size_t size) {
  switch (type) {
    case HCI_CONNECTION_TYPE_ACL:
      return "HCI_CONNECTION_TYPE_ACL";
    case HCI_CONNECTION_TYPE_SCO:
      return "HCI_CONNECTION_TYPE_SCO";
    case HCI_CONNECTION_TYPE_LE:
      return "HCI_CONNECTION_TYPE_LE";
    default:
      std::snprintf(buffer, size, "%d", type);
      return buffer;
  }
}

std::string textf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string textf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

// How much of a custom event's data the broadcast holds.
std::size_t eventDataSize(const DEV_BROADCAST_HANDLE& header) {
  constexpr std::size_t offset = offsetof(DEV_BROADCAST_HANDLE, dbch_data);
  return header.dbch_size > offset ? header.dbch_size - offset : 0;
}

}  // namespace

std::shared_ptr<BluetoothMicrosoftBus> BluetoothMicrosoftBus::create(bool active, std::weak_ptr<Win32Bus> hidBus) {
  return std::shared_ptr<BluetoothMicrosoftBus>(new BluetoothMicrosoftBus(active, std::move(hidBus)));
}

BluetoothMicrosoftBus::BluetoothMicrosoftBus(bool active, std::weak_ptr<Win32Bus> hidBus)
    : active_(active), hidBus_(std::move(hidBus)) {
  xLog(kTag, LogDebug, FN(BluetoothMicrosoftBus), "BluetoothMicrosoftBus constructor");
}

BluetoothMicrosoftBus::~BluetoothMicrosoftBus() {
  stop();
  Subscriber<IBluetoothBus::RadioArrivalRemovalInternal>::unsubscribe_all();
}

// ---- start and stop ----

bool BluetoothMicrosoftBus::lazy_start() {
  // Asked again from within this thread's own start (a radio's arrival handlers): what is found
  // so far is all there is.
  if (startingThread_.load() == std::this_thread::get_id()) return true;
  if (!active_) {
    LastError::set(BluetoothUnavailable);
    return false;
  }
  std::unique_lock lock(startMutex_, std::try_to_lock);
  if (!lock.owns_lock()) {
    // Another thread is starting the bus and sends its registrations to the HID bus's window:
    // that window's thread must not wait for it. The start is under way; the radios follow as it
    // registers them.
    const auto hid = hidBus_.lock();
    if (hid && hid->onWindowThread()) return true;
    lock.lock();
  }
  if (started_) return true;
  struct Starting {
    std::atomic<std::thread::id>& thread;
    explicit Starting(std::atomic<std::thread::id>& t) : thread(t) { thread = std::this_thread::get_id(); }
    ~Starting() { thread = std::thread::id(); }
  } starting(startingThread_);
  // Direct: the bookkeeping runs on the thread that reports the radio.
  Subscriber<IBluetoothBus::RadioArrivalRemovalInternal>::subscribe(shared_from_this(), Direct);
  const auto hid = hidBus_.lock();
  if (!hid) {
    LastError::set(Unavailable);
    return false;
  }
  try {
    hid->lazyStart();
    system_ = hid->system();
    interfaceRegistration_ = hid->registerInterfaceNotification();
    if (!interfaceRegistration_) {
      xLog(kTag, LogWarning, FN(lazy_start), "-bt- registerInterfaceNotification returned err=%d gle=%d",
           static_cast<int>(LastError::get().code), static_cast<int>(LastError::get().detail));
    }
  } catch (const DevioException& e) {
    e.record();
    xLog(kTag, LogWarning, FN(lazy_start), "-bt- exception on registerInterfaceNotification");
    return false;
  }
  xLog(kTag, LogDebug, FN(lazy_start), "BluetoothMicrosoftBus::lazy_start window is %p", static_cast<void*>(hid->hwnd()));
  find_radios();
  started_ = true;
  return true;
}

void BluetoothMicrosoftBus::stop() {
  std::map<std::string, Radio> radios;
  {
    std::lock_guard lock(mutex_);
    radios.swap(radios_);
  }
  HDEVNOTIFY registration = nullptr;
  {
    std::lock_guard lock(startMutex_);
    registration = std::exchange(interfaceRegistration_, nullptr);
    started_ = false;
  }
  // Without the HID bus its window thread has already released the registrations and handles.
  const auto hid = hidBus_.lock();
  if (!hid) return;
  for (const auto& [path, radio] : radios) {
    xLog(kTag, LogDebug, FN(stop), "-bt- stop() is unregistering device notification %p and closing handle %p",
         static_cast<void*>(radio.registration), radio.handle);
    hid->unregisterDeviceNotificationAndCloseTrackedHandle(radio.registration, radio.handle);
  }
  if (registration) hid->unregisterInterfaceNotification(registration);
}

// ---- radios ----

void BluetoothMicrosoftBus::find_radios() {
  xLog(kTag, LogDebug, FN(find_radios), "Bluetooth - find_radios");
  std::vector<std::string> paths;
  try {
    paths = InterfacePaths::present(*system_, kRadioInterface,
                                    {kTag, "-bt- SetupDiGetDeviceInterfaceDetail(getlength) error %d",
                                     "-bt- SetupDiGetDeviceInterfaceDetail error %d"});
  } catch (const DevioException& e) {
    e.record();
  }
  for (const auto& path : paths) {
    xLog(kTag, LogDebug, FN(find_radios), "-bt- radio found: %s", path.c_str());
    onRadioArrival(path);
  }
  xLog(kTag, LogDebug, FN(find_radios), "-bt- find_radios exit (%d radios)", static_cast<int>(paths.size()));
}

void BluetoothMicrosoftBus::onRadioArrival(std::string path) {
  xLog(kTag, LogDebug, FN(onRadioArrival), "radio arrived: %s", path.c_str());
  const auto hid = hidBus_.lock();
  std::shared_ptr<IWin32System> system;
  {
    std::lock_guard lock(mutex_);
    if (radios_.contains(path)) return;
  }
  if (!hid || !(system = hid->system())) return;
  const HANDLE handle = system->CreateFileW(WideText::fromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    xLog(kTag, LogWarning, FN(onRadioArrival), "-bt- CreateFile error %d", static_cast<int>(error));
    LastError::set(OpenFailed, error, "CreateFile");
    return;
  }
  xLog(kTag, LogDebug, FN(onRadioArrival), "-bt- radio opened as handle %08x, path %s",
       static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handle)), path.c_str());
  const HDEVNOTIFY registration = hid->registerDeviceNotificationAndTakeOwnershipOfHandle(handle);
  if (!registration) {
    xLog(kTag, LogWarning, FN(onRadioArrival), "-bt- registerDeviceNotificationAndTakeOwnershipOfHandle error %d",
         static_cast<int>(LastError::get().detail));
    CloseHandle(handle);
    xLog(kTag, LogDebug, FN(onRadioArrival), "onRadioArrival closed handle %p", handle);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    radios_[path] = Radio{handle, registration};
  }
  Producer<IBluetoothBus::RadioArrivalRemovalExternal>::produce([path](IBluetoothBus::RadioArrivalRemovalExternal* s) { s->onRadioArrival(path); },
                                                 "BluetoothMicrosoftBus::RadioArrivalRemovalExternal::onRadioArrival");
}

void BluetoothMicrosoftBus::onRadioRemoval(std::string path) {
  xLog(kTag, LogDebug, FN(onRadioRemoval), "Bluetooth - radio was removed");
  Radio radio;
  {
    std::lock_guard lock(mutex_);
    const auto it = radios_.find(path);
    if (it == radios_.end()) return;
    radio = it->second;
    radios_.erase(it);
  }
  xLog(kTag, LogDebug, FN(onRadioRemoval), "-bt- unregistering for device notifications");
  if (const auto hid = hidBus_.lock()) hid->unregisterDeviceNotificationAndCloseTrackedHandle(radio.registration, radio.handle);
  Producer<IBluetoothBus::RadioArrivalRemovalExternal>::produce([path](IBluetoothBus::RadioArrivalRemovalExternal* s) { s->onRadioRemoval(path); },
                                                 "BluetoothMicrosoftBus::RadioArrivalRemovalExternal::onRadioRemoval");
}

bool BluetoothMicrosoftBus::radio_is_present(const std::string& radio) {
  std::lock_guard lock(mutex_);
  return radios_.contains(radio);
}

std::string BluetoothMicrosoftBus::find_radio_via_pnp(const std::string& path) {
  xLog(kTag, LogDebug, FN(find_radio_via_pnp), "-bt- enter, from path %s", path.c_str());
  const auto hid = hidBus_.lock();
  if (!hid) return {};
  try {
    hid->lazyStart();  // yields the host-service seam
    const auto system = hid->system();
    std::string node = system->setupdi_instance_from_path(path);
    // A device tree is shallow; the bound only guards against a host that answers a cycle.
    for (int depth = 1; !node.empty() && depth <= 16; ++depth) {
      std::string parent = node;
      if (system->setupdi_parent(parent).empty() || parent == node) break;
      xLog(kTag, LogDebug, FN(find_radio_via_pnp), "-bt-  parent %d %s", depth, parent.c_str());
      std::string radio = system->setupdi_path_from_instance(parent, kRadioInterface);
      if (!radio.empty()) return radio;
      node = std::move(parent);
    }
  } catch (const DevioException& e) {
    e.record();
  }
  return {};
}

std::string BluetoothMicrosoftBus::radioOfHandle(HANDLE handle) {
  std::lock_guard lock(mutex_);
  for (const auto& [path, radio] : radios_) {
    if (radio.handle == handle) return path;
  }
  return {};
}

// ---- devices ----

std::shared_ptr<BluetoothMicrosoftDevice> BluetoothMicrosoftBus::existingDevice(std::uint64_t address, int busType) {
  std::lock_guard lock(mutex_);
  const auto it = devices_.find({address, busType});
  return it == devices_.end() ? nullptr : it->second;
}

std::shared_ptr<BluetoothMicrosoftDevice> BluetoothMicrosoftBus::deviceFor(std::uint64_t address, int busType) {
  std::lock_guard lock(mutex_);
  auto& device = devices_[{address, busType}];
  if (!device) device = std::make_shared<BluetoothMicrosoftDevice>(weak_from_this(), address, busType);
  return device;
}

bool BluetoothMicrosoftBus::device_info(std::uint64_t address, BLUETOOTH_DEVICE_INFO* info, std::string* radio) {
  std::vector<std::pair<std::string, HANDLE>> radios;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [path, open] : radios_) radios.emplace_back(path, open.handle);
  }
  const auto hid = hidBus_.lock();
  const auto system = hid ? hid->system() : nullptr;
  const std::string text = BluetoothMicrosoftDevice::addressText(address);
  bool found = false;
  for (const auto& [path, handle] : radios) {
    BLUETOOTH_DEVICE_INFO answer{};
    answer.dwSize = sizeof answer;
    answer.Address.ullLong = address;
    const DWORD result = system ? system->BluetoothGetDeviceInfo(handle, &answer) : ERROR_NOT_READY;
    if (result != ERROR_SUCCESS) {
      xLog(kTag, LogDebug, FN(device_info), "-bt- BluetoothGetDeviceInfo addr=%s radio=%p returned error %08x gle=0x%x",
           text.c_str(), handle, static_cast<unsigned>(result), static_cast<unsigned>(GetLastError()));
      continue;
    }
    xLog(kTag, LogDebug, FN(device_info), "-bt- BluetoothGetDeviceInfo addr=%s radio=%p -> class=%x, conn=%d, remem=%d, auth=%d",
         text.c_str(), handle, static_cast<unsigned>(answer.ulClassofDevice), answer.fConnected ? 1 : 0,
         answer.fRemembered ? 1 : 0, answer.fAuthenticated ? 1 : 0);
    if (!found || answer.fConnected) {
      *info = answer;
      *radio = path;
      found = true;
    }
    if (answer.fConnected) break;
  }
  return found;
}

bool BluetoothMicrosoftBus::get_connect_state_via_bgdi(std::uint64_t address, std::string* radio) {
  const std::string text = BluetoothMicrosoftDevice::addressText(address);
  xLog(kTag, LogDebug, FN(get_connect_state_via_bgdi), "BluetoothMicrosoftBus::get_connect_state_via_bgdi entry, addr=%s",
       text.c_str());
  BLUETOOTH_DEVICE_INFO info{};
  if (device_info(address, &info, radio) && info.fConnected) return true;
  xLog(kTag, LogDebug, FN(get_connect_state_via_bgdi), "get_connect_state_via_bgdi not connected to %s", text.c_str());
  return false;
}

bool BluetoothMicrosoftBus::verify_pairing_via_bgdi(std::uint64_t address, std::string* radio) {
  BLUETOOTH_DEVICE_INFO info{};
  const bool paired = device_info(address, &info, radio) && (info.fRemembered || info.fAuthenticated);
  if (!paired) xLog(kTag, LogDebug, FN(verify_pairing_via_bgdi), "verify_pairing_via_bgdi not paired");
  xLog(kTag, LogDebug, FN(verify_pairing_via_bgdi), "verify_pairing_via_bgdi returning %d", paired ? 1 : 0);
  return paired;
}

// ---- which device owns a path ----

std::shared_ptr<IBluetoothDevice> BluetoothMicrosoftBus::device_paired_on_path(std::string path) {
  xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path entry");
  {
    std::lock_guard lock(answersMutex_);
    const auto it = answers_.find(path);
    if (it != answers_.end()) {
      if (it->second) {
        xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path - Got cached address %s for path %s",
             it->second->address().c_str(), path.c_str());
      } else {
        xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path - Got cached no address for path %s", path.c_str());
      }
      return it->second;
    }
  }
  auto device = device_paired_on_path_internal(path, kClassic);
  xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path bluetooth check returned %d", device ? 1 : 0);
  if (!device) {
    xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path checking BLE");
    device = device_paired_on_path_internal(path, kLe);
  }
  {
    std::lock_guard lock(answersMutex_);
    answers_[path] = device;
  }
  xLog(kTag, LogDebug, FN(device_paired_on_path), "device_paired_on_path exit, returning %d", device ? 1 : 0);
  return device;
}

std::shared_ptr<BluetoothMicrosoftDevice> BluetoothMicrosoftBus::device_paired_on_path_internal(const std::string& path,
                                                                                               int busType) {
  xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "device_paired_on_path_internal - path %s bustype %d", path.c_str(),
       busType);
  const char* keyName = busType == kClassic ? kClassicKey : busType == kLe ? kLeKey : nullptr;
  if (!keyName) return nullptr;
  xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "device_paired_on_path - Testing if path %s is paired to bus type %s",
       path.c_str(), keyName);
  LSTATUS status = ERROR_SUCCESS;
  const Key root = openKey(HKEY_LOCAL_MACHINE, WideText::fromUtf8(keyName), &status);
  if (!root) {
    xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "-bt- Error opening registry key %s, err=%d", keyName,
         static_cast<int>(status));
    return nullptr;
  }
  for (const auto& model : subkeys(root.get())) {
    xLog(kTag, LogVerbose, FN(device_paired_on_path_internal), "device_paired_on_path -  Device model found: %s", model.c_str());
    if (!contains(path, model)) {
      xLog(kTag, LogVerbose, FN(device_paired_on_path_internal), "device_paired_on_path -  Model not in path");
      continue;
    }
    const Key modelKey = openKey(root.get(), WideText::fromUtf8(model), &status);
    if (!modelKey) continue;
    for (const auto& instance : subkeys(modelKey.get())) {
      xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "device_paired_on_path -  Device instance found: %s", instance.c_str());
      const Key instanceKey = openKey(modelKey.get(), WideText::fromUtf8(instance), &status);
      if (!instanceKey) continue;
      bool match = contains(path, instance);
      if (match) {
        xLog(kTag, LogDebug, FN(device_paired_on_path_internal),
             "device_paired_on_path -  DeviceInstance appeared in path - we have a match");
      } else {
        wchar_t prefix[256];
        DWORD size = sizeof prefix;
        DWORD type = 0;
        status = RegQueryValueExW(instanceKey.get(), L"ParentIDPrefix", nullptr, &type, reinterpret_cast<BYTE*>(prefix), &size);
        if (status != ERROR_SUCCESS || type != REG_SZ) {
          xLog(kTag, LogDebug, FN(device_paired_on_path_internal),
               "device_paired_on_path -  Error getting 'ParentIDPrefix' value, err=%d", static_cast<int>(status));
        } else {
          const std::string parent = WideText::toUtf8(std::wstring(prefix, wcsnlen(prefix, size / sizeof(wchar_t))));
          xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "device_paired_on_path -  ParentIdPrefix is %s", parent.c_str());
          match = !parent.empty() && contains(path, parent);
          if (match) {
            xLog(kTag, LogDebug, FN(device_paired_on_path_internal),
                 "device_paired_on_path -  ParentIdPrefix contained in path - we have a match");
          }
        }
      }
      if (!match) continue;
      std::uint64_t address = 0;
      DWORD size = sizeof address;
      const Key parameters = openKey(instanceKey.get(), L"Device Parameters", &status);
      status = parameters ? RegQueryValueExW(parameters.get(), L"BluetoothAddress", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(&address), &size)
                          : status;
      if (status == ERROR_SUCCESS) {
        xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "-bt- Got address %s for path %s",
             BluetoothMicrosoftDevice::addressText(address).c_str(), path.c_str());
      } else {
        xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "-bt- Error getting 'BluetoothAddress' value, err=%d",
             static_cast<int>(status));
        if (!addressFromModel(model, &address)) continue;
        xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "-bt- Got BLE address %s for path %s",
             BluetoothMicrosoftDevice::addressText(address).c_str(), path.c_str());
      }
      xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "device_paired_on_path - Returning address %s for path %s",
           BluetoothMicrosoftDevice::addressText(address).c_str(), path.c_str());
      auto device = deviceFor(address, busType);
      device->rememberPath(path);
      return device;
    }
  }
  xLog(kTag, LogDebug, FN(device_paired_on_path_internal), "-bt- Returning %d no address for path %s", busType, path.c_str());
  return nullptr;
}

void BluetoothMicrosoftBus::forgetAnswers(const std::shared_ptr<BluetoothMicrosoftDevice>& device) {
  std::lock_guard lock(answersMutex_);
  std::erase_if(answers_, [&device](const auto& entry) { return entry.second == device; });
}

// ---- device-change messages ----

void BluetoothMicrosoftBus::process_wm_devicechange(std::uint32_t event, void* broadcast) {
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(broadcast);
  if (!header) return;
  if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
    const auto* interface = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(broadcast);
    if (!IsEqualGUID(interface->dbcc_classguid, kRadioInterface)) return;
    const bool arrival = event == DBT_DEVICEARRIVAL;
    if (!arrival && event != DBT_DEVICEREMOVECOMPLETE) return;
    xLog(kTag, LogDebug, FN(process_wm_devicechange), "-bt- %s, DBT_DEVTYP_DEVICEINTERFACE, GUID_BTHPORT_DEVICE_INTERFACE",
         arrival ? "DBT_DEVICEARRIVAL" : "DBT_DEVICEREMOVECOMPLETE");
    const std::string path = WideText::toUtf8(interface->dbcc_name);
    Producer<IBluetoothBus::RadioArrivalRemovalInternal>::produce(
        [arrival, path](IBluetoothBus::RadioArrivalRemovalInternal* s) { arrival ? s->onRadioArrival(path) : s->onRadioRemoval(path); },
        arrival ? "BluetoothMicrosoftBus::RadioArrivalRemovalInternal::onRadioArrival"
                : "BluetoothMicrosoftBus::RadioArrivalRemovalInternal::onRadioRemoval");
    return;
  }
  if (event == DBT_CUSTOMEVENT && header->dbch_devicetype == DBT_DEVTYP_HANDLE) {
    customEvent(*static_cast<const DEV_BROADCAST_HANDLE*>(broadcast));
  }
}

void BluetoothMicrosoftBus::customEvent(const DEV_BROADCAST_HANDLE& header) {
  const std::string radio = radioOfHandle(header.dbch_handle);
  if (radio.empty()) return;  // not one of our radios
  const std::size_t dataSize = eventDataSize(header);
  if (IsEqualGUID(header.dbch_eventguid, kL2capEvent) && dataSize >= sizeof(BTH_L2CAP_EVENT_INFO)) {
    BTH_L2CAP_EVENT_INFO info;
    std::memcpy(&info, header.dbch_data, sizeof info);
    const std::string address = BluetoothMicrosoftDevice::addressText(info.bthAddress);
    char psm[16];
    xLog(kTag, LogDebug, FN(process_wm_devicechange),
         "-bt- DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=%p, GUID_BLUETOOTH_L2CAP_EVENT addr=%s, %s, conn=%d, initiated=%d",
         header.dbch_handle, address.c_str(), psmName(info.psm, psm, sizeof psm), info.connected, info.initiated);
    if (info.psm != kPsmHidInterrupt) return;
    if (info.connected) {
      xLog(kTag, LogInfo, FN(process_wm_devicechange), "Bluetooth device %s has connected (PSM_HID_INTERRUPT)", address.c_str());
      deviceFor(info.bthAddress, kClassic)->connect(radio);
    } else {
      xLog(kTag, LogInfo, FN(process_wm_devicechange), "Bluetooth device %s has disconnected (PSM_HID_INTERRUPT)", address.c_str());
      if (auto device = existingDevice(info.bthAddress, kClassic)) device->disconnect();
    }
  } else if (IsEqualGUID(header.dbch_eventguid, kRadioInRange) && dataSize >= sizeof(BTH_RADIO_IN_RANGE)) {
    BTH_RADIO_IN_RANGE range;
    std::memcpy(&range, header.dbch_data, sizeof range);
    const std::string address = BluetoothMicrosoftDevice::addressText(range.deviceInfo.address);
    const ULONG now = range.deviceInfo.flags;
    const ULONG before = range.previousDeviceFlags;
    xLog(kTag, LogDebug, FN(process_wm_devicechange),
         "-bt- GUID_BLUETOOTH_RADIO_IN_RANGE handle=%p addr=%s, flags=0x%x, prevflag=0x%x, cod=0x%x, name=%s", header.dbch_handle,
         address.c_str(), static_cast<unsigned>(now), static_cast<unsigned>(before),
         static_cast<unsigned>(range.deviceInfo.classOfDevice), range.deviceInfo.name);
    const ULONG added = now & ~before;
    const ULONG removed = before & ~now;
    // A classic device's link is followed by its L2CAP events.
    const bool classic = existingDevice(range.deviceInfo.address, kClassic) != nullptr;
    if (!classic && (added & BDIF_CONNECTED)) {
      xLog(kTag, LogInfo, FN(process_wm_devicechange), "BLE device %s has connected", address.c_str());
      deviceFor(range.deviceInfo.address, kLe)->connect(radio);
    } else if (!classic && (removed & BDIF_CONNECTED)) {
      if (auto device = existingDevice(range.deviceInfo.address, kLe)) {
        xLog(kTag, LogInfo, FN(process_wm_devicechange), "BLE device %s has disconnected", address.c_str());
        device->disconnect();
      }
    }
    if (removed & kPersonalFlags) {
      xLog(kTag, LogInfo, FN(process_wm_devicechange),
           "Bluetooth device %s has unpaired (removed BDIF_PERSONAL or BDIF_LE_PERSONAL)", address.c_str());
      for (int busType : {kClassic, kLe}) {
        const auto device = existingDevice(range.deviceInfo.address, busType);
        if (!device) continue;
        forgetAnswers(device);
        device->unpair(radio);
      }
    }
  } else if (const std::string text = logOnlyEventText(header); !text.empty()) {
    xLog(kTag, LogDebug, FN(process_wm_devicechange), "%s", text.c_str());
  }
}

std::string BluetoothMicrosoftBus::logOnlyEventText(const DEV_BROADCAST_HANDLE& header) {
  const std::size_t dataSize = eventDataSize(header);
  const GUID& event = header.dbch_eventguid;
  if (IsEqualGUID(event, kHciEvent) && dataSize >= sizeof(BTH_HCI_EVENT_INFO)) {
    BTH_HCI_EVENT_INFO info;
    std::memcpy(&info, header.dbch_data, sizeof info);
    char type[8];
    return textf("Bluetooth - DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=%p, GUID_BLUETOOTH_HCI_EVENT addr=%s, %s, connected=%d",
                 header.dbch_handle, BluetoothMicrosoftDevice::addressText(info.bthAddress).c_str(),
                 connectionTypeName(info.connectionType, type, sizeof type), info.connected);
  }
  constexpr std::size_t vendorHeader = offsetof(BTH_HCI_VENDOR_EVENT_INFO, EventInfo);
  if (IsEqualGUID(event, kHciVendorEvent) && dataSize >= vendorHeader) {
    BTH_HCI_VENDOR_EVENT_INFO info;
    std::memcpy(&info, header.dbch_data, vendorHeader);
    // The bytes the event claims, but never past the broadcast's end.
    const std::size_t shown = std::min<std::size_t>(info.EventSize, dataSize - vendorHeader);
    const auto* bytes = reinterpret_cast<const UCHAR*>(header.dbch_data) + vendorHeader;
    return textf("Bluetooth - GUID_BLUETOOTH_HCI_VENDOR_EVENT handle=%p BthAddress=%s, EventSize=%d EventInfo=%s",
                 header.dbch_handle, BluetoothMicrosoftDevice::addressText(info.BthAddress).c_str(),
                 static_cast<int>(info.EventSize), hexText({bytes, shown}).c_str());
  }
  if (IsEqualGUID(event, kRadioOutOfRange) && dataSize >= sizeof(BTH_RADIO_OUT_OF_RANGE)) {
    BTH_RADIO_OUT_OF_RANGE range;
    std::memcpy(&range, header.dbch_data, sizeof range);
    return textf("Bluetooth - DBT_CUSTOMEVENT, DBT_DEVTYP_HANDLE=%p, GUID_BLUETOOTH_RADIO_OUT_OF_RANGE, addr=%s",
                 header.dbch_handle, BluetoothMicrosoftDevice::addressText(range.deviceAddress).c_str());
  }
  return {};
}

}  // namespace devio
