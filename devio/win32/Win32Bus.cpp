#include "devio/win32/Win32Bus.h"

#include <vector>

#include "devio/protocol/DevioException.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/BluetoothMicrosoftBus.h"
#include "devio/win32/GattBus.h"
#include "devio/win32/DeviceInfoList.h"
#include "devio/win32/Win32Device.h"
#include "devio/win32/Win32System.h"

#define FN(name) "devio::Win32Bus::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Win32Bus";
constexpr UINT kRequestTimeoutMs = 5000;
// {0850302A-B344-4FDA-9BE9-90576B8D46F0}
constexpr GUID kBluetoothRadioInterface = {0x0850302a, 0xb344, 0x4fda, {0x9b, 0xe9, 0x90, 0x57, 0x6b, 0x8d, 0x46, 0xf0}};

}  // namespace

const char* Win32Bus::deviceChangeName(std::uint32_t event) {
  switch (event) {
    case DBT_DEVICEARRIVAL:
      return "DBT_DEVICEARRIVAL";
    case DBT_DEVICEQUERYREMOVE:
      return "DBT_DEVICEQUERYREMOVE";
    case DBT_DEVICEQUERYREMOVEFAILED:
      return "DBT_DEVICEQUERYREMOVEFAILED";
    case DBT_DEVICEREMOVEPENDING:
      return "DBT_DEVICEREMOVEPENDING";
    case DBT_DEVICEREMOVECOMPLETE:
      return "DBT_DEVICEREMOVECOMPLETE";
    default:
      return nullptr;
  }
}

std::shared_ptr<Win32Bus> Win32Bus::create(std::weak_ptr<IDeviceManager> manager, SystemFactory factory) {
  std::shared_ptr<Win32Bus> bus(new Win32Bus(std::move(manager), factory ? std::move(factory) : makeWin32System));
  bus->init();
  return bus;
}

Win32Bus::Win32Bus(std::weak_ptr<IDeviceManager> manager, SystemFactory factory)
    : manager_(std::move(manager)), factory_(std::move(factory)) {}

// The Bluetooth classic bus always joins, active while item 0 or 1 is on; the GATT bus while item 1
// or 2 is on.
void Win32Bus::init() {
  bool items[3] = {false, false, false};
  auto manager = manager_.lock();
  if (!manager) LastError::set(Unavailable);
  for (int item = 0; manager && item < 3; ++item) manager->config_get(item, &items[item]);
  xLog(kTag, LogDebug, FN(init), "Win32Bus::init bluetooth=%d ble=%d gatt=%d", items[0] ? 1 : 0, items[1] ? 1 : 0,
       items[2] ? 1 : 0);
  bluetoothBuses_.push_back(BluetoothMicrosoftBus::create(items[0] || items[1], weak_from_this()));
  if (items[1] || items[2]) secondaryBuses_.push_back(GattBus::create(weak_from_this()));
}

Win32Bus::~Win32Bus() {
  xLog(kTag, LogDebug, FN(~Win32Bus), "Win32Bus::~Win32Bus enter");
  if (HWND window = hwnd_) PostMessageW(window, WM_CLOSE, 0, 0);
  if (windowThread_.joinable()) {
    xLog(kTag, LogDebug, FN(~Win32Bus), "Win32Bus::~Win32Bus joining thread");
    if (windowThread_.get_id() == std::this_thread::get_id()) {
      windowThread_.detach();
    } else {
      windowThread_.join();
    }
  }
}

bool Win32Bus::onWindowThread() const {
  const HWND window = hwnd_;
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

std::shared_ptr<IWin32System> Win32Bus::system() {
  std::lock_guard lock(lazyStartMutex_);
  return system_;
}

// ---- start ----

bool Win32Bus::on_subscribe(IHardwareBus::PlugUnplug*) {
  try {
    lazyStart();
    return true;
  } catch (const DevioException& e) {
    xLog(kTag, LogWarning, FN(on_subscribe), "Win32Bus::on_subscribe exception");
    e.record();
    return false;
  }
}

void Win32Bus::lazyStart() {
  std::lock_guard lock(lazyStartMutex_);
  if (isStarted_) return;
  xLog(kTag, LogDebug, FN(lazyStart), "Win32Bus::lazyStart performing startup");
  if (!system_) {
    system_ = factory_();
    system_->HidD_GetHidGuid(&hidGuid_);
  }
  if (windowThread_.joinable()) windowThread_.join();  // a start that failed
  {
    std::lock_guard start(startMutex_);
    started_ = false;
    startFailed_ = false;
  }
  windowThread_ = std::thread(&Win32Bus::windowThreadStatic, this);
  std::unique_lock start(startMutex_);
  startSignal_.wait(start, [this] { return started_; });
  if (startFailed_) throw DevioException(WindowCreationFailed, startError_, "could not create window");
  isStarted_ = true;
  xLog(kTag, LogDebug, FN(lazyStart), "Win32Bus::lazyStart exit");
}

void Win32Bus::signalStarted(bool ok, DWORD error) {
  {
    std::lock_guard lock(startMutex_);
    started_ = true;
    startFailed_ = !ok;
    startError_ = error;
  }
  startSignal_.notify_all();
}

void Win32Bus::windowThreadStatic() {
  try {
    windowThread();
  } catch (const DevioException& e) {
    xLog(kTag, LogError, FN(window_thread_static), "Win32Bus::window_thread_static exception");
    LastError::set(WindowThreadFailed, e.detail, e.message);
    reportError("Win32Bus::window_thread_static");
    // The starter learns of the failure instead of waiting for a window that never comes.
    signalStarted(false, e.detail);
  }
}

void Win32Bus::windowThread() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32Bus::windowProcStatic;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  // Another bus may have it registered still; its window procedure is this one.
  const bool registered = RegisterClassExW(&windowClass) != 0;
  const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, kWindowClass, WS_POPUP, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, this);
  if (!window) {
    const DWORD error = GetLastError();
    xLog(kTag, LogError, FN(window_thread), "Win32Bus::window_thread CreateWindowEx failed, err=%d",
         static_cast<int>(error));
    if (registered) UnregisterClassW(kWindowClass, instance);
    throw DevioException(WindowCreationFailed, error, "could not create window");
  }
  hwnd_ = window;
  ShowWindow(window, SW_HIDE);

  DWORD error = 0;
  if (!registerInterface(hidGuid_, &error)) {
    LastError::set(InterfaceNotificationFailed, error);
    reportError("Win32Bus::window_thread");
  }
  signalStarted(true, 0);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  for (HDEVNOTIFY registration : interfaceNotifications_) system_->UnregisterDeviceNotification(registration);
  interfaceNotifications_.clear();
  {
    std::lock_guard lock(trackedMutex_);
    for (const auto& [registration, handle] : trackedHandles_) {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
      system_->UnregisterDeviceNotification(registration);
    }
    trackedHandles_.clear();
  }
  hwnd_ = nullptr;
  // Unregistered so that a later bus can register it again.
  UnregisterClassW(kWindowClass, instance);
  xLog(kTag, LogDebug, FN(window_thread), "Win32Bus::window_thread end");
}

void Win32Bus::reportError(const char* context) {
  if (auto manager = manager_.lock()) {
    manager->report_unreported_error(context);
  } else {
    xLog(kTag, LogWarning, FN(window_thread), "%s could not lock manager", context);
  }
}

HDEVNOTIFY Win32Bus::registerInterface(const GUID& interfaceClass, DWORD* error) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = interfaceClass;
  HDEVNOTIFY registration = system_->RegisterDeviceNotificationW(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (registration) {
    interfaceNotifications_.insert(registration);
  } else {
    *error = GetLastError();
  }
  return registration;
}

// ---- the window ----

LRESULT CALLBACK Win32Bus::windowProcStatic(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* bus = reinterpret_cast<Win32Bus*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!bus) return message == WM_NCCREATE ? DefWindowProcW(hwnd, message, wParam, lParam) : 0;
  return bus->windowProc(hwnd, message, wParam, lParam);
}

LRESULT Win32Bus::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC) {
        Producer<PlugUnplug>::produce([](PlugUnplug* s) { s->onPowerChange(false); },
                                      "Win32Bus::PlugUnplug::onPowerChange");
        return TRUE;
      }
      return 0;
    case WM_DEVICECHANGE:
      try {
        processDeviceChange(static_cast<UINT>(wParam), reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam));
      } catch (const std::exception&) {
        xLog(kTag, LogError, FN(WindowProc), "Win32Bus WM_DEVICECHANGE exception");
      }
      return 0;
    case WM_USER: {
      auto* request = reinterpret_cast<Request*>(lParam);
      if (wParam == kRequestTag && request && request->size == kRequestTag) {
        performRequest(*request);
      } else {
        xLog(kTag, LogWarning, FN(WindowProc), "Win32Bus::WindowProc got WM_USER with unexpected parameters");
      }
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// ---- registration requests ----

bool Win32Bus::sendRequest(Request& request, const char* noWindow) {
  const HWND window = hwnd_;
  if (!window) {
    LastError::set(Unavailable);
    xLog(kTag, LogWarning, FN(sendRequest), "%s", noWindow);
    return false;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, WM_USER, kRequestTag, reinterpret_cast<LPARAM>(&request), SMTO_BLOCK,
                           kRequestTimeoutMs, &result)) {
    xLog(kTag, LogWarning, FN(sendRequest), "-hid- SendMessageTimeout failed or timed out");
    LastError::set(Unavailable, GetLastError());
    return false;
  }
  if (request.code != Success) {
    LastError::set(request.code, request.systemError,
                   request.code == RegisterNotificationFailed ? "RegisterDeviceNotification" : nullptr);
    return false;
  }
  return true;
}

void Win32Bus::performRequest(Request& request) {
  if (!request.ishandle && !request.unregister) {
    DWORD error = 0;
    request.interfaceNotification = registerInterface(request.interfaceClass, &error);
    if (!request.interfaceNotification) {
      xLog(kTag, LogWarning, FN(performRequest), "-hid- RegisterDeviceNotification_worker failed, syserr=%d",
           static_cast<int>(error));
      request.code = InterfaceNotificationFailed;
      request.systemError = error;
    }
  } else if (!request.ishandle) {
    if (interfaceNotifications_.erase(request.interfaceNotification) > 0) {
      system_->UnregisterDeviceNotification(request.interfaceNotification);
    }
  } else if (!request.unregister) {
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = request.handle;
    request.handleNotification = system_->RegisterDeviceNotificationW(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!request.handleNotification) {
      request.code = RegisterNotificationFailed;
      request.systemError = GetLastError();
      return;
    }
    std::lock_guard lock(trackedMutex_);
    if (trackedHandles_.contains(request.handleNotification)) {
      xLog(kTag, LogError, FN(performRequest), "-hid- registration %p already tracked, overwriting",
           static_cast<void*>(request.handleNotification));
    }
    trackedHandles_[request.handleNotification] = request.handle;
  } else {
    std::lock_guard lock(trackedMutex_);
    const auto it = trackedHandles_.find(request.handleNotification);
    if (it == trackedHandles_.end()) return;
    if (it->second == INVALID_HANDLE_VALUE) {
      xLog(kTag, LogDebug, FN(performRequest), "handle %p already closed", static_cast<void*>(request.handle));
    } else {
      if (it->second != request.handle) {
        xLog(kTag, LogError, FN(performRequest), "-hid- tracked handle %p does not match %p",
             static_cast<void*>(it->second), static_cast<void*>(request.handle));
      }
      if (!CloseHandle(request.handle)) {
        xLog(kTag, LogWarning, FN(performRequest), "-hid- CloseHandle failed, err=%d", static_cast<int>(GetLastError()));
      }
    }
    system_->UnregisterDeviceNotification(it->first);
    trackedHandles_.erase(it);
  }
}

HDEVNOTIFY Win32Bus::registerDeviceNotificationAndTakeOwnershipOfHandle(HANDLE handle) {
  Request request;
  request.ishandle = true;
  request.handle = handle;
  if (!sendRequest(request, "registerDeviceNotificationAndTakeOwnershipOfHandle no hwd")) return nullptr;
  return request.handleNotification;
}

void Win32Bus::unregisterDeviceNotificationAndCloseTrackedHandle(HDEVNOTIFY registration, HANDLE handle) {
  Request request;
  request.ishandle = true;
  request.unregister = true;
  request.handle = handle;
  request.handleNotification = registration;
  if (sendRequest(request, "unregisterDeviceNotificationAndCloseTrackedHandle no hwnd")) return;
  // Without the window thread nobody else will close it.
  std::lock_guard lock(trackedMutex_);
  const auto it = trackedHandles_.find(registration);
  if (it == trackedHandles_.end() || it->second != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (it != trackedHandles_.end()) trackedHandles_.erase(it);
}

bool Win32Bus::verifyDeviceNotificationHandleOpen(HDEVNOTIFY registration, HANDLE handle) {
  std::lock_guard lock(trackedMutex_);
  const auto it = trackedHandles_.find(registration);
  return it != trackedHandles_.end() && it->second == handle;
}

HDEVNOTIFY Win32Bus::registerInterfaceNotification() {
  Request request;
  request.interfaceClass = kBluetoothRadioInterface;
  if (!sendRequest(request, "registerInterfaceNotification no hwnd")) return nullptr;
  return request.interfaceNotification;
}

void Win32Bus::unregisterInterfaceNotification(HDEVNOTIFY registration) {
  Request request;
  request.unregister = true;
  request.interfaceNotification = registration;
  sendRequest(request, "Win32Bus::unregisterInterfaceNotification no hwnd");
}

// ---- device changes ----

std::shared_ptr<Win32Device> Win32Bus::makeDevice(const std::string& path) {
  return std::make_shared<Win32Device>(weak_from_this(), system(), path);
}

void Win32Bus::produceUnplug(std::shared_ptr<IHardwareDevice> device) {
  Producer<PlugUnplug>::produce([device](PlugUnplug* s) { s->onUnplug(device); }, "Win32Bus::PlugUnplug::onUnplug");
}

void Win32Bus::processDeviceChange(UINT event, const DEV_BROADCAST_HDR* header) {
  const char* name = deviceChangeName(event);
  if (name) {
    xLog(kTag, LogDebug, FN(processDeviceChange), "Win32Bus::processDeviceChange %s", name);
  } else {
    xLog(kTag, LogDebug, FN(processDeviceChange), "Win32Bus::processDeviceChange DBT=%d", static_cast<int>(event));
  }
  const auto self = weak_from_this().lock();
  const auto* interface = header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE
                              ? reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header)
                              : nullptr;
  const bool hid = interface && IsEqualGUID(interface->dbcc_classguid, hidGuid_);
  const bool arrival = event == DBT_DEVICEARRIVAL || event == DBT_DEVICEQUERYREMOVEFAILED;
  const bool removal =
      event == DBT_DEVICEQUERYREMOVE || event == DBT_DEVICEREMOVEPENDING || event == DBT_DEVICEREMOVECOMPLETE;
  if (name && header && self) {
    if (arrival && hid) {
      const std::string path = WideText::toUtf8(interface->dbcc_name);
      xLog(kTag, LogDebug, FN(processDeviceChange), "-hid- arrive HID interface, path=%s", path.c_str());
      std::shared_ptr<IHardwareDevice> device = makeDevice(path);
      Producer<PlugUnplug>::produce([device](PlugUnplug* s) { s->onPlug(device); }, "Win32Bus::PlugUnplug::onPlug");
    } else if (arrival) {
      xLog(kTag, LogDebug, FN(processDeviceChange), "Win32Bus::processDeviceChange arrive type=%d",
           static_cast<int>(header->dbch_devicetype));
    } else if (removal && header->dbch_devicetype == DBT_DEVTYP_HANDLE) {
      const auto* handleHeader = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header);
      xLog(kTag, LogDebug, FN(processDeviceChange), "-hid- remove type=DBT_DEVTYP_HANDLE, handle=%08x",
           static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handleHeader->dbch_handle)));
      // Releasing the handle lets the host remove the device.
      std::lock_guard lock(trackedMutex_);
      const auto it = trackedHandles_.find(handleHeader->dbch_hdevnotify);
      if (it != trackedHandles_.end() && it->second != INVALID_HANDLE_VALUE) {
        CloseHandle(it->second);
        it->second = INVALID_HANDLE_VALUE;
      }
    } else if (removal && hid) {
      const std::string path = WideText::toUtf8(interface->dbcc_name);
      xLog(kTag, LogDebug, FN(processDeviceChange), "-hid- remove HID interface, path=%s", path.c_str());
      produceUnplug(makeDevice(path));
    } else if (removal) {
      xLog(kTag, LogDebug, FN(processDeviceChange), "Win32Bus::processDeviceChange remove type=%d",
           static_cast<int>(header->dbch_devicetype));
    }
  }
  for (const auto& bluetooth : bluetoothBuses_) bluetooth->process_wm_devicechange(event, const_cast<DEV_BROADCAST_HDR*>(header));
  for (const auto& secondary : secondaryBuses_) {
    try {
      secondary->process_wm_devicechange(event, const_cast<DEV_BROADCAST_HDR*>(header));
    } catch (const std::exception&) {
      xLog(kTag, LogError, FN(processDeviceChange), "Win32Bus WM_DEVICECHANGE secondary_busses exception");
    }
  }
}

// ---- enumeration ----

std::vector<std::shared_ptr<IHardwareDevice>> Win32Bus::devices() {
  try {
    lazyStart();
    auto found = enumerateInterfaces(hidGuid_);
    LastError::set(Success);
    return found;
  } catch (const DevioException& e) {
    e.record();
    return {};
  }
}

std::vector<std::shared_ptr<IHardwareDevice>> Win32Bus::enumerateInterfaces(const GUID& interfaceClass) {
  const auto system = this->system();
  const HDEVINFO handle =
      system->SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    xLog(kTag, LogError, FN(EnumerateInterfaces), "Win32Bus::_SetupDiGetClassDevs failed, err=%d", static_cast<int>(error));
    throw DevioException(EnumerationFailed, error, "SetupDiGetClassDevs failed");
  }
  DeviceInfoList list(*system, handle);
  std::vector<std::shared_ptr<IHardwareDevice>> found;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  for (DWORD index = 0; system->SetupDiEnumDeviceInterfaces(list.get(), nullptr, &interfaceClass, index, &interfaceData);
       ++index) {
    DWORD size = 0;
    if (!system->SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, nullptr, 0, &size, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      throw DevioException(EnumerationFailed, GetLastError(), "SetupDiGetDeviceInterfaceDetail probe failed");
    }
    std::vector<std::byte> buffer(std::max<DWORD>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (!system->SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, detail, size, nullptr, &info)) {
      throw DevioException(EnumerationFailed, GetLastError(), "SetupDiGetDeviceInterfaceDetail failed");
    }
    auto device = makeDevice(WideText::toUtf8(detail->DevicePath));
    if (device->open()) {
      device->close();
      xLog(kTag, LogDebug, FN(EnumerateInterfaces), "Win32Bus::EnumerateInterfaces adding device to list");
      found.push_back(device);
    } else {
      xLog(kTag, LogDebug, FN(EnumerateInterfaces), "Win32Bus::EnumerateInterfaces ignoring device it could not open");
    }
  }
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
    throw DevioException(EnumerationFailed, error, "SetupDiEnumDeviceInterfaces failed");
  }
  return found;
}

bool Win32Bus::verify_device_exists(const std::string& path) {
  for (const auto& device : devices()) {
    if (device->path() == path) {
      xLog(kTag, LogDebug, FN(verify_device_exists), "Win32Bus::verify_device_exists - device is present: %s",
           path.c_str());
      return true;
    }
  }
  xLog(kTag, LogDebug, FN(verify_device_exists), "Win32Bus::verify_device_exists - device was lost: %s", path.c_str());
  read_failed_with_disconnect_error(path);
  return false;
}

void Win32Bus::read_failed_with_disconnect_error(const std::string& path) {
  xLog(kTag, LogDebug, FN(read_failed_with_disconnect_error),
       "Win32Bus::read_failed_with_disconnect_error producing onUnPlug event");
  produceUnplug(makeDevice(path));
}

}  // namespace devio
