#include "devio/receivers/PairingBus.h"

#include <algorithm>

#include "devio/protocol/DevioException.h"

#include "devio/protocol/LastError.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::PairingBus::" #name

namespace devio {

namespace {
constexpr const char* kTag = "PairingBus";

std::shared_ptr<IBluetoothBus> firstBluetoothBus(IHardwareBus& inner) {
  const auto buses = inner.bluetooth_buses();
  return buses.empty() ? nullptr : buses.front();
}
}  // namespace

std::shared_ptr<PairingBus> PairingBus::create(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager) {
  return std::shared_ptr<PairingBus>(new PairingBus(std::move(inner), std::move(manager)));
}

PairingBus::PairingBus(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager)
    : inner_(std::move(inner)), bluetooth_(firstBluetoothBus(*inner_)), manager_(std::move(manager)) {
  if (auto owner = manager_.lock()) {
    static constexpr const char* kFlags[] = {"PairingBus bluetooth_active = %d", "PairingBus ble_active = %d",
                                             "PairingBus ble_monitor = %d", "PairingBus use_blepp = %d"};
    for (int item = IDeviceManager::bluetooth_active; item <= IDeviceManager::use_blepp; ++item) {
      bool on = false;
      owner->config_get(item, &on);
      xLog(kTag, LogInfo, FN(PairingBus), kFlags[item], on ? 1 : 0);
      if (item == IDeviceManager::ble_monitor) bleMonitor_ = on;
    }
  }
}

PairingBus::~PairingBus() {
  std::lock_guard lock(subscribeMutex_);
  monitorWatch_.unsubscribe_all();
  Subscriber<IHardwareBus::PlugUnplug>::unsubscribe_all();
  Subscriber<IBluetoothBus::RadioArrivalRemovalExternal>::unsubscribe_all();
}

bool PairingBus::subscribe() {
  if (subscribed_) return true;
  std::lock_guard lock(subscribeMutex_);
  if (subscribed_) return true;
  // Direct: pairings are looked up and link states follow on the producers' threads.
  if (!Subscriber<IHardwareBus::PlugUnplug>::subscribe(inner_, Direct)) return false;
  if (bluetooth_ && !Subscriber<IBluetoothBus::RadioArrivalRemovalExternal>::subscribe(bluetooth_, Direct)) {
    Subscriber<IHardwareBus::PlugUnplug>::unsubscribe(inner_);
    return false;
  }
  if (bleMonitor_) {
    for (const auto& secondary : inner_->secondary_buses()) {
      if (!monitorWatch_.subscribe(std::shared_ptr<IHardwareBus>(secondary), Direct)) {
        xLog(kTag, LogWarning, FN(subscribe), "PairingBus could not follow a secondary bus's monitors");
      }
    }
  }
  subscribed_ = true;
  return true;
}

// The monitors already present; a secondary bus that cannot tell only costs its monitors.
void PairingBus::watchMonitors() {
  if (!bleMonitor_) return;
  for (const auto& secondary : inner_->secondary_buses()) {
    try {
      for (const auto& monitor : secondary->devices()) attach_loose_monitor(monitor);
    } catch (const DevioException&) {
      xLog(kTag, LogWarning, FN(devices), "PairingBus devices secondary_busses exception");
    }
  }
}

std::vector<std::shared_ptr<IHardwareDevice>> PairingBus::devices() {
  xLog(kTag, LogDebug, FN(devices), "PairingBus::devices enter");
  if (!subscribe()) {
    xLog(kTag, LogError, FN(devices), "PairingBus::devices exit (false, subscribe failed)");
    return {};
  }
  LastError::set(Success);
  const auto channels = inner_->devices();
  if (channels.empty() && LastError::get().code != Success) {
    xLog(kTag, LogError, FN(devices), "PairingBus::devices exit (propagating error %d)", static_cast<int>(LastError::get().code));
    return {};
  }
  std::vector<std::shared_ptr<IHardwareDevice>> result;
  bool bluetoothSeen = false;
  for (const auto& channel : channels) {
    bool visibleBefore = false;
    const auto device = track(channel, visibleBefore);
    bluetoothSeen = bluetoothSeen || device->bluetooth();
    if (device->visible()) result.push_back(device);
  }
  if (bluetoothSeen) write_data();
  watchMonitors();
  xLog(kTag, LogDebug, FN(devices), "PairingBus::devices exit (success, returning %d devices)", static_cast<int>(result.size()));
  LastError::set(Success);
  return result;
}

std::shared_ptr<PairingDevice> PairingBus::track(const std::shared_ptr<IHardwareDevice>& hwdev, bool& visibleBefore) {
  const std::string path = hwdev->path();
  std::shared_ptr<PairingDevice> known;
  {
    std::lock_guard lock(mutex_);
    const auto it = tracked_.find(path);
    if (it != tracked_.end()) known = it->second;
  }
  if (known) {
    visibleBefore = known->visible();
    if (!known->hasChannel()) {
      known->attach(hwdev);
      // A pairing known from the cache learns its link and radio with its first channel.
      if (known->bluetooth()) known->connected();
    }
    return known;
  }
  visibleBefore = false;
  // Outside the lock: the lookup may read the registry.
  auto btdev = bluetooth_ ? bluetooth_->device_paired_on_path(path) : nullptr;
  auto device = PairingDevice::create(weak_from_this(), hwdev, std::move(btdev));
  std::shared_ptr<PairingDevice> tracked;
  {
    std::lock_guard lock(mutex_);
    const auto [it, inserted] = tracked_.emplace(path, device);
    if (inserted) xLog(kTag, LogDebug, FN(onPlug), "PairingBus::onPlug tracking %s", path.c_str());
    tracked = it->second;
  }
  detect_and_attach_monitor(tracked);
  return tracked;
}

void PairingBus::onPlug(std::shared_ptr<IHardwareDevice> hwdev) {
  xLog(kTag, LogDebug, FN(onPlug), "PairingBus::onPlug enter (pid = 0x%x)", hwdev->pid());
  if (!hwdev->open()) {
    xLog(kTag, LogDebug, FN(onPlug), "PairingBus::onPlug exit, ignoring device it could not open");
    return;
  }
  bool visibleBefore = false;
  const auto device = track(hwdev, visibleBefore);
  {
    std::lock_guard lock(mutex_);
    for (const auto& [path, tracked] : tracked_) {
      xLog(kTag, LogVerbose, FN(onPlug), "PairingBus::onPlug device list %s", path.c_str());
    }
  }
  if (!visibleBefore && device->visible()) produce(true, device, "PairingBus::onPlug producing onPlug event");
  if (device->bluetooth()) write_data();
}

void PairingBus::onUnplug(std::shared_ptr<IHardwareDevice> hwdev) {
  const std::string path = hwdev->path();
  xLog(kTag, LogDebug, FN(onUnplug), "PairingBus::onUnplug enter, pid = 0x%x, path=%s", hwdev->pid(), path.c_str());
  std::shared_ptr<PairingDevice> device;
  {
    std::lock_guard lock(mutex_);
    const auto it = tracked_.find(path);
    if (it != tracked_.end()) device = it->second;
  }
  if (!device) {
    xLog(kTag, LogDebug, FN(onUnplug), "PairingBus::onUnplug device not found: %s", path.c_str());
    return;
  }
  if (device->bluetooth() && device->visible()) {
    xLog(kTag, LogDebug, FN(onUnplug), "PairingBus::onUnplug still paired, so disconnecting instead");
    device->detach();
    return;
  }
  forget(device, device->bluetooth() ? "PairingBus::onUnplug device is unpaired" : "PairingBus::onUnplug device is hidden");
}

void PairingBus::onPowerChange(bool standBy) {
  xLog(kTag, LogDebug, FN(onPowerChange), "PairingBus::onPowerChange(standBy=%d)", standBy ? 1 : 0);
  Producer<IHardwareBus::PlugUnplug>::produce([standBy](IHardwareBus::PlugUnplug* s) { s->onPowerChange(standBy); },
                                              "PairingBus::PlugUnplug::onPowerChange");
}

void PairingBus::forget(const std::shared_ptr<PairingDevice>& device, const char* log) {
  xLog(kTag, LogDebug, FN(forget), "%s", log);
  {
    std::lock_guard lock(mutex_);
    const auto it = tracked_.find(device->path());
    if (it != tracked_.end() && it->second == device) tracked_.erase(it);
  }
  destroy_monitor(device);
  produce(false, device, "PairingBus::onUnplug producing unPlug event");
  if (device->bluetooth()) write_data();
}

void PairingBus::process_unpair(const std::shared_ptr<PairingDevice>& device) {
  if (!device->bluetooth()) {
    xLog(kTag, LogDebug, FN(process_unpair), "PairingBus::process_unpair exit, device is not a bt device");
    return;
  }
  forget(device, "PairingBus::process_unpair device lost its pairing");
}

void PairingBus::refresh() {
  for (const auto& device : trackedBluetooth()) {
    if (device->verify_pairing()) continue;
    xLog(kTag, LogInfo, FN(refresh), "PairingBus::refresh - device was unpaired: %s", device->path().c_str());
    forget(device, "PairingBus::refresh removing device");
  }
}

void PairingBus::onRadioArrival(std::string radio) {
  xLog(kTag, LogDebug, FN(onRadioArrival), "PairingBus::onRadioArrival %s", radio.c_str());
  for (const auto& device : trackedBluetooth()) {
    const bool visibleBefore = device->visible();
    if (!device->verify_pairing()) {
      forget(device, "PairingBus::onRadioArrival device lost pairing, so removing it");
      continue;
    }
    if (!visibleBefore && device->visible()) produce(true, device, "PairingBus::onRadioArrival producing onPlug event");
  }
}

void PairingBus::onRadioRemoval(std::string radio) {
  for (const auto& device : trackedBluetooth()) {
    if (device->radio() != radio) continue;
    xLog(kTag, LogDebug, FN(onRadioRemoval), "onRadioRemoval removing pairings from device: %s", device->path().c_str());
    if (device->remove_radio(radio)) produce(false, device, "PairingBus::onRadioRemoval producing unPlug event");
  }
}

std::vector<std::shared_ptr<PairingDevice>> PairingBus::trackedBluetooth() {
  std::vector<std::shared_ptr<PairingDevice>> devices;
  std::lock_guard lock(mutex_);
  for (const auto& [path, device] : tracked_) {
    if (device->bluetooth()) devices.push_back(device);
  }
  return devices;
}

void PairingBus::produce(bool plug, const std::shared_ptr<IHardwareDevice>& device, const char* log) {
  xLog(kTag, LogDebug, FN(produce), "%s", log);
  if (plug) {
    Producer<IHardwareBus::PlugUnplug>::produce([device](IHardwareBus::PlugUnplug* s) { s->onPlug(device); },
                                                "PairingBus::PlugUnplug::onPlug");
  } else {
    Producer<IHardwareBus::PlugUnplug>::produce([device](IHardwareBus::PlugUnplug* s) { s->onUnplug(device); },
                                                "PairingBus::PlugUnplug::onUnplug");
  }
}

// ---- monitors ----

void PairingBus::detect_and_attach_monitor(const std::shared_ptr<PairingDevice>& device) {
  if (!bleMonitor_ || !device->monitorable()) return;
  std::lock_guard lock(mutex_);
  pairMonitors();
}

void PairingBus::attach_loose_monitor(const std::shared_ptr<IHardwareDevice>& monitor) {
  if (!bleMonitor_) return;
  const std::string path = monitor->path();
  std::lock_guard lock(mutex_);
  const auto known = std::find_if(monitors_.begin(), monitors_.end(), [&](const Monitor& m) { return m.channel->path() == path; });
  if (known != monitors_.end()) {
    // The same channel announced again, or a new object for its path: the device keeps it.
    known->channel = monitor;
    if (const auto device = known->device.lock()) device->setMonitor(monitor);
    return;
  }
  xLog(kTag, LogDebug, FN(attach_loose_monitor), "PairingBus::attach_loose_monitor pid=0x%x %s", monitor->pid(), path.c_str());
  monitors_.push_back({monitor, {}});
  pairMonitors();
}

void PairingBus::detach_monitor(const std::shared_ptr<IHardwareDevice>& monitor) {
  const std::string path = monitor->path();
  std::lock_guard lock(mutex_);
  const auto known = std::find_if(monitors_.begin(), monitors_.end(), [&](const Monitor& m) { return m.channel->path() == path; });
  if (known == monitors_.end()) return;
  xLog(kTag, LogDebug, FN(detach_monitor), "PairingBus::detach_monitor %s", path.c_str());
  if (const auto device = known->device.lock()) device->setMonitor(nullptr);
  monitors_.erase(known);
  pairMonitors();
}

void PairingBus::destroy_monitor(const std::shared_ptr<PairingDevice>& device) {
  std::lock_guard lock(mutex_);
  for (auto& monitor : monitors_) {
    if (monitor.device.lock() != device) continue;
    xLog(kTag, LogDebug, FN(destroy_monitor), "PairingBus::destroy_monitor %s is loose again", monitor.channel->path().c_str());
    device->setMonitor(nullptr);
    monitor.device.reset();
  }
  pairMonitors();
}

void PairingBus::pairMonitors() {
  for (auto& monitor : monitors_) {
    if (!monitor.device.expired()) continue;
    for (const auto& [path, device] : tracked_) {
      if (!device->monitorable() || device->pid() != monitor.channel->pid() || device->hasMonitor()) continue;
      xLog(kTag, LogDebug, FN(pairMonitors), "PairingBus attaching monitor %s to %s", monitor.channel->path().c_str(), path.c_str());
      monitor.device = device;
      device->setMonitor(monitor.channel);
      break;
    }
  }
}

// ---- the pairing cache ----

void PairingBus::persistent_data_directory(std::string dir) {
  {
    std::lock_guard lock(mutex_);
    dataDir_ = dir;
  }
  if (dir.empty()) {
    xLog(kTag, LogDebug, FN(persistent_data_directory), "data cache dir is empty");
    return;
  }
  const std::string file = dir + PairingCacheFile::kFileName;
  for (const auto& entry : PairingCacheFile::read(file)) {
    xLog(kTag, LogDebug, FN(persistent_data_directory), "xml read zpath=%s pid=0x%x name=%s radio=%s interface=%s",
         entry.path.c_str(), entry.pid, entry.name.c_str(), entry.radio.c_str(), entry.interface.c_str());
    {
      std::lock_guard lock(mutex_);
      if (tracked_.contains(entry.path)) {
        xLog(kTag, LogDebug, FN(persistent_data_directory), "Already a device present that matches %s", entry.path.c_str());
        continue;
      }
    }
    auto btdev = bluetooth_ ? bluetooth_->device_paired_on_path(entry.path) : nullptr;
    if (!btdev) {
      // The host no longer knows the path as Bluetooth: nothing to follow, and the entry leaves
      // the file at the next write.
      xLog(kTag, LogDebug, FN(persistent_data_directory), "PairingBus::persistent_data_directory device is unpaired: %s",
           entry.path.c_str());
      continue;
    }
    // Without a radio the pairing is known but not shown until a link brings one.
    xLog(kTag, LogDebug, FN(persistent_data_directory),
         entry.radio.empty() ? "PairingBus::persistent_data_directory device is unpaired: %s"
                             : "PairingBus::persistent_data_directory device is paired: %s",
         entry.path.c_str());
    auto device = PairingDevice::create(weak_from_this(), entry, std::move(btdev));
    {
      std::lock_guard lock(mutex_);
      if (!tracked_.emplace(entry.path, device).second) continue;
    }
    detect_and_attach_monitor(device);
  }
}

void PairingBus::write_data() {
  std::string dir;
  {
    std::lock_guard lock(mutex_);
    dir = dataDir_;
  }
  if (dir.empty()) {
    xLog(kTag, LogDebug, FN(write_data), "data cache path is empty");
    return;
  }
  std::vector<PairingCacheFile::Entry> entries;
  for (const auto& device : trackedBluetooth()) entries.push_back(device->entry());
  const std::string file = dir + PairingCacheFile::kFileName;
  std::lock_guard lock(writeMutex_);
  if (PairingCacheFile::write(file, entries)) {
    xLog(kTag, LogDebug, FN(write_data), "wrote paired cache to file %s", file.c_str());
  } else {
    xLog(kTag, LogWarning, FN(write_data), "could not write paired cache to file %s", file.c_str());
  }
}

}  // namespace devio
