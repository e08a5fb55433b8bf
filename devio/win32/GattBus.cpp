#include "devio/win32/GattBus.h"

#include <algorithm>
#include <vector>

#include "devio/protocol/DevioException.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/InterfacePaths.h"
#include "devio/win32/GattDevice.h"
#include "devio/win32/Win32Bus.h"

#define FN(name) "devio::GattBus::" #name

namespace devio {

namespace {

constexpr const char* kTag = "GattBus";

}  // namespace

std::shared_ptr<GattBus> GattBus::create(std::weak_ptr<Win32Bus> hidBus) {
  return std::shared_ptr<GattBus>(new GattBus(std::move(hidBus)));
}

GattBus::GattBus(std::weak_ptr<Win32Bus> hidBus) : hidBus_(std::move(hidBus)) {}

GattBus::~GattBus() {
  // The window thread's end releases it too; a registration is released once.
  if (registration_ && system_ && hidBus_.lock()) system_->UnregisterDeviceNotification(registration_);
  xLog(kTag, LogDebug, FN(~GattBus), "GattBus::~GattBus exit");
}

bool GattBus::lazyStart() {
  xLog(kTag, LogDebug, FN(lazyStart), "GattBus::lazyStart enter");
  std::lock_guard lock(startMutex_);
  if (started_) {
    xLog(kTag, LogDebug, FN(lazyStart), "GattBus::lazyStart exit, already started");
    return true;
  }
  xLog(kTag, LogDebug, FN(lazyStart), "GattBus::lazyStart performing startup");
  const auto hid = hidBus_.lock();
  if (!hid) {
    LastError::set(Unavailable);
    return false;
  }
  try {
    hid->lazyStart();
  } catch (const DevioException& e) {
    xLog(kTag, LogWarning, FN(lazyStart), "Win32Bus::lazyStart exception");
    e.record();
    return false;
  }
  system_ = hid->system();
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = 32;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kVeloGatt;
  registration_ = system_->RegisterDeviceNotificationW(hid->hwnd(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (!registration_) {
    xLog(kTag, LogWarning, FN(lazyStart), "RegisterDeviceNotification gatt failed, err=%d", static_cast<int>(GetLastError()));
  }
  started_ = true;
  return true;
}

bool GattBus::on_subscribe(IHardwareBus::PlugUnplug*) {
  xLog(kTag, LogDebug, FN(on_subscribe), "GattBus::on_subscribe enter");
  if (!lazyStart()) {
    xLog(kTag, LogWarning, FN(on_subscribe), "GattBus::on_subscribe exception");
    return false;
  }
  xLog(kTag, LogDebug, FN(on_subscribe), "GattBus::on_subscribe exit");
  return true;
}

std::vector<std::string> GattBus::findInterfaces() {
  xLog(kTag, LogDebug, FN(find_interfaces), "Bluetooth - find_interfaces %s", "GUID_VeloGATT");
  std::shared_ptr<IWin32System> system;
  {
    std::lock_guard lock(startMutex_);
    system = system_;
  }
  if (!system) return {};  // not started: nothing of ours can be present
  const auto paths = InterfacePaths::present(*system, kVeloGatt,
                                             {kTag, "Bluetooth - SetupDiGetDeviceInterfaceDetail(getlength) error %d",
                                              "Bluetooth - SetupDiGetDeviceInterfaceDetail error %d"});
  xLog(kTag, LogDebug, FN(find_interfaces), "Bluetooth - find_interfaces exit (found %d)", static_cast<int>(paths.size()));
  return paths;
}

std::shared_ptr<GattDevice> GattBus::deviceFor(const std::string& path) {
  std::lock_guard lock(devicesMutex_);
  const auto it = devices_.find(path);
  if (it != devices_.end()) return it->second;
  auto device = std::make_shared<GattDevice>(weak_from_this(), hidBus_, system_, path);
  devices_.emplace(path, device);
  return device;
}

// A device the host's Bluetooth library cannot serve is left out; the others are still found.
bool GattBus::opened(GattDevice& device) {
  try {
    return device.open();
  } catch (const DevioException& e) {
    xLog(kTag, LogInfo, FN(devices), "GattDevice::open exception");
    xLog(kTag, LogInfo, FN(devices), "%s", e.what());
    return false;
  }
}

std::vector<std::shared_ptr<IHardwareDevice>> GattBus::devices() {
  xLog(kTag, LogDebug, FN(devices), "GattBus::devices enter");
  if (!lazyStart()) return {};
  std::vector<std::shared_ptr<IHardwareDevice>> found;
  try {
    for (const auto& path : findInterfaces()) {
      const auto device = deviceFor(path);
      if (opened(*device)) {
        xLog(kTag, LogDebug, FN(devices), "GattBus::EnumerateInterfaces adding device to list");
        found.push_back(device);
      } else {
        xLog(kTag, LogDebug, FN(devices), "GattBus::EnumerateInterfaces ignoring device it could not open");
      }
    }
  } catch (const DevioException& e) {
    // The GATT bus is optional: its trouble must not fail the device manager's start.
    xLog(kTag, LogInfo, FN(devices), "GattBus::devices exception");
    xLog(kTag, LogInfo, FN(devices), "%s", e.what());
    found.clear();
  }
  LastError::set(Success);
  xLog(kTag, LogDebug, FN(devices), "GattBus::devices exit, returning %d devices", static_cast<int>(found.size()));
  return found;
}

void GattBus::produce(bool plug, const std::shared_ptr<IHardwareDevice>& device) {
  if (plug) {
    Producer<PlugUnplug>::produce([device](PlugUnplug* s) { s->onPlug(device); }, "GattBus::PlugUnplug::onPlug");
  } else {
    Producer<PlugUnplug>::produce([device](PlugUnplug* s) { s->onUnplug(device); }, "GattBus::PlugUnplug::onUnplug");
  }
}

void GattBus::process_wm_devicechange(std::uint32_t event, void* broadcast) {
  const char* name = Win32Bus::deviceChangeName(event);
  if (!name) return;
  xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange %s", name);
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(broadcast);
  if (!header) {
    xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus ignoring WM_DEVICECHANGE without header,");
    return;
  }
  const auto* interface = header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE
                              ? static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(broadcast)
                              : nullptr;
  const bool gatt = interface && IsEqualGUID(interface->dbcc_classguid, kVeloGatt);
  if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEQUERYREMOVEFAILED) {
    if (!interface) {
      xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange arrive type=%d",
           static_cast<int>(header->dbch_devicetype));
      return;
    }
    xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange arrive type=DBT_DEVTYP_DEVICEINTERFACE");
    if (!gatt) return;
    const auto device = deviceFor(WideText::toUtf8(interface->dbcc_name));
    xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange arrive producing onPlug event");
    produce(true, device);
    return;
  }
  if (header->dbch_devicetype == DBT_DEVTYP_HANDLE) {
    xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange remove type=DBT_DEVTYP_HANDLE");
    return;
  }
  if (!gatt) {
    xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange remove type=%d",
         static_cast<int>(header->dbch_devicetype));
    return;
  }
  xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange remove type=DBT_DEVTYP_DEVICEINTERFACE");
  xLog(kTag, LogDebug, FN(processDeviceChange), "GattBus::processDeviceChange remove producing onUnplug event");
  read_failed_with_disconnect_error(WideText::toUtf8(interface->dbcc_name));
}

bool GattBus::verify_device_exists(const std::string& path) {
  std::vector<std::string> paths;
  try {
    paths = findInterfaces();
  } catch (const DevioException&) {
  }
  if (std::find(paths.begin(), paths.end(), path) != paths.end()) {
    xLog(kTag, LogDebug, FN(verify_device_exists), "GattBus::verify_device_exists - device is present: %s", path.c_str());
    return true;
  }
  xLog(kTag, LogDebug, FN(verify_device_exists), "GattBus::verify_device_exists - device was lost: %s", path.c_str());
  return false;
}

void GattBus::read_failed_with_disconnect_error(const std::string& path) {
  xLog(kTag, LogDebug, FN(read_failed_with_disconnect_error), "GattBus::read_failed_with_disconnect_error producing onUnPlug event");
  std::shared_ptr<GattDevice> device;
  {
    std::lock_guard lock(devicesMutex_);
    const auto it = devices_.find(path);
    if (it == devices_.end()) return;
    device = it->second;
    devices_.erase(it);
  }
  device->close();
  produce(false, device);
}

}  // namespace devio
