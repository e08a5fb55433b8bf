#include "devio/runtime/DeviceManager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>

#include "devio/protocol/Device.h"
#include "devio/protocol/LastError.h"
#include "devio/receivers/CombinerBus.h"
#include "devio/receivers/CorvaneBus.h"
#include "devio/receivers/PairingBus.h"
#include "devio/runtime/HostHidBus.h"
#include "devio/runtime/ReleaseThreads.h"
#include "devio/runtime/Timer.h"
#include "devio/runtime/WorkerThread.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::DeviceManager::" #name

namespace devio {

namespace {

constexpr const char* kTag = "DeviceManager";
constexpr const char* kRunLoopEventName = "DeviceManager::RunLoopEvent::onRunLoopEvent";
constexpr bool kDefaults[IDeviceManager::ConfigItemCount] = {false, false, true, false, false, false, false, true};

// Known receivers: product id, pairing slots, protocol byte.
struct ReceiverModel {
  int pid;
  int slots;
  int protocolByte;
};
constexpr ReceiverModel kReceivers[] = {
    {0x7331, 6, 0x04}, {0x7335, 2, 0x04}, {0x7342, 2, 0x0A}, {0x7347, 1, 0x0C},
    {0x7348, 7, 0x0C}, {0x7349, 1, 0x0C}, {0x734B, 1, 0x0C}, {0x734C, 1, 0x04},
};

const ReceiverModel* findReceiver(int pid) {
  const auto it = std::find_if(std::begin(kReceivers), std::end(kReceivers),
                               [pid](const ReceiverModel& r) { return r.pid == pid; });
  return it == std::end(kReceivers) ? nullptr : it;
}

bool validItem(int item) { return item >= 0 && item < IDeviceManager::ConfigItemCount; }

std::atomic<bool> gGattPassive{false};

}  // namespace

std::shared_ptr<DeviceManager> DeviceManager::create(Hooks hooks) {
  return std::shared_ptr<DeviceManager>(new DeviceManager(std::move(hooks)), &DeviceManager::release);
}

// The manager joins timer workers and read threads as it goes down, so it is never destroyed on
// one of them: a last reference dropped there (a production racing a reset, say) hands the
// destruction to a thread of its own.
void DeviceManager::release(DeviceManager* manager) {
  if (WorkerThread::current()) {
    ReleaseThreads::run([manager] { delete manager; });
  } else {
    delete manager;
  }
}

DeviceManager::DeviceManager(Hooks hooks) : hooks_(std::move(hooks)) {
  std::copy(std::begin(kDefaults), std::end(kDefaults), items_);
  xLog(kTag, LogInfo, FN(DeviceManager), "-api- %p", static_cast<void*>(this));
  // Microseconds since 1970, truncated to 32 bits.
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
  const auto seed = static_cast<unsigned>(micros.count());
  std::srand(seed);
  xLog(kTag, LogInfo, FN(DeviceManager), "using seed %d for random", static_cast<int>(seed));
}

DeviceManager::~DeviceManager() {
  xLog(kTag, LogInfo, FN(~DeviceManager), "-api- %p", static_cast<void*>(this));
  if (destroying_.exchange(true)) {
    xLog(kTag, LogError, FN(~DeviceManager), "DeviceManager destructor called recursively");
    return;
  }
  // Nothing may reach the manager from a bus or the retry timer while it goes down.
  Subscriber<IHardwareBus::PlugUnplug>::unsubscribe_all();
  Subscriber<IDeviceManager::ActiveChanged>::unsubscribe_all();
  Subscriber<ITimer::TimerEvent>::unsubscribe_all();
  for (const auto& [channel, device] : std::map(deviceMap_)) device->shutdown();
  for (const auto& bus : std::set(connectedBuses_)) removeBus(bus);
  xLog(kTag, LogDebug, FN(~DeviceManager), "DeviceManager::~DeviceManager() ... end.");
}

bool DeviceManager::gattPassive() { return gGattPassive; }

// ---- buses ----

bool DeviceManager::on_subscribe(IDeviceManager::ArrivalRemoval*) {
  xLog(kTag, LogInfo, FN(on_subscribe), "-api- ArrivalRemoval");
  return lazyInitializeHardwareBusses();
}

bool DeviceManager::lazyInitializeHardwareBusses() {
  if (busesStarted_) return true;
  retryCount_ = 0;  // the fresh timer runs no period yet
  if (!makeRetryTimer()) {
    xLog(kTag, LogDebug, FN(lazyInitializeHardwareBusses), "DeviceManager::lazyInit failed at subscribe");
    return false;
  }
  xLog(kTag, LogDebug, FN(lazyInitializeHardwareBusses), "DeviceManager::lazyInit connecting to hardware busses");
  if (!connectToHardwareBusses()) {
    xLog(kTag, LogDebug, FN(lazyInitializeHardwareBusses), "DeviceManager::lazyInit failed at connect");
    if (restartPending_) scheduleRetry();  // the buses ran before: keep trying on the schedule
    return false;
  }
  xLog(kTag, LogDebug, FN(lazyInitializeHardwareBusses), "DeviceManager::lazyInit complete");
  busesStarted_ = true;
  restartPending_ = false;
  return true;
}

bool DeviceManager::makeRetryTimer() {
  retryTimer_ = Timer::create(addbusRetryTimerId, hooks_.clock);
  return Subscriber<ITimer::TimerEvent>::subscribe(retryTimer_, RunLoop, "");
}

bool DeviceManager::connectToHardwareBusses() {
  xLog(kTag, LogInfo, FN(connectToHardwareBusses), "connectToHardwareBusses enter");
  auto self = shared_from_this();
  std::shared_ptr<IHardwareBus> bus = hooks_.topBus ? hooks_.topBus(self) : makeHostHidBus(self);
  if (!bus) {
    LastError::set(Unavailable, 0, "no top bus");
    xLog(kTag, LogInfo, FN(connectToHardwareBusses), "connectToHardwareBusses exit, false");
    return false;
  }
  if (bus->wants_combiner()) {
    xLog(kTag, LogInfo, FN(connectToHardwareBusses), "inserting combiner filter");
    bus = CombinerBus::create(bus, self);
  }
  if (!bus->bluetooth_buses().empty()) {
    xLog(kTag, LogInfo, FN(connectToHardwareBusses), "inserting pairing filter");
    bus = PairingBus::create(bus, self);
  }
  if (!addBus(bus)) {
    xLog(kTag, LogInfo, FN(connectToHardwareBusses), "connectToHardwareBusses exit, false");
    return false;
  }
  connectedBuses_.insert(bus);
  for (const auto& secondary : bus->secondary_buses()) {
    xLog(kTag, LogInfo, FN(connectToHardwareBusses), "DeviceManager adding a secondary bus");
    if (!addBus(secondary)) {
      // No half-started set of buses stays behind: a later start makes a new top bus, and two
      // would announce the same hardware as two devices.
      const LastError error = LastError::get();
      removeConnectedBuses();
      LastError::set(error);
      xLog(kTag, LogInfo, FN(connectToHardwareBusses), "connectToHardwareBusses exit, false");
      return false;
    }
    connectedBuses_.insert(secondary);
  }
  xLog(kTag, LogInfo, FN(connectToHardwareBusses), "connectToHardwareBusses exit, true");
  return true;
}

bool DeviceManager::addBus(std::shared_ptr<IHardwareBus> bus) {
  xLog(kTag, LogInfo, FN(addBus), "DeviceManager::addBus enter");
  if (!Subscriber<IHardwareBus::PlugUnplug>::subscribe(bus, RunLoop, "")) {
    xLog(kTag, LogError, FN(addBus), "DeviceManager::addBus exit (false, failed to subscribe to PlugUnplug, err=%d)",
         static_cast<int>(LastError::get().code));
    return false;
  }
  LastError::set(Success);  // an empty list is a failure only when the bus itself says so
  const auto channels = bus->devices();
  if (channels.empty() && LastError::get().code != Success) {
    const LastError error = LastError::get();
    Subscriber<IHardwareBus::PlugUnplug>::unsubscribe(bus);  // a bus not taken into service tells the manager nothing
    LastError::set(error);
    xLog(kTag, LogError, FN(addBus), "DeviceManager::addBus failed to enumerate devices!");
    xLog(kTag, LogInfo, FN(addBus), "addBus exit (false, error enumerating devices)");
    return false;
  }
  xLog(kTag, LogDebug, FN(addBus), "DeviceManager::addBus saving bus");
  addedBuses_.insert(bus);
  for (const auto& channel : channels) {
    xLog(kTag, LogDebug, FN(addBus), "DeviceManager::addBus calling onPlug(hwdev)");
    onPlug(channel);
  }
  bus->persistent_data_directory(persistentDirectory_);
  xLog(kTag, LogDebug, FN(addBus), "DeviceManager::addBus exit (true, success)");
  return true;
}

void DeviceManager::removeBus(std::shared_ptr<IHardwareBus> bus) {
  xLog(kTag, LogDebug, FN(removeBus), "DeviceManager::removeBus enter");
  std::vector<std::shared_ptr<IHardwareDevice>> children;
  for (const auto& [channel, device] : deviceMap_) {
    if (channel->bus().lock() == bus) children.push_back(channel);
  }
  for (const auto& channel : children) {
    xLog(kTag, LogDebug, FN(removeBus), "DeviceManager::removeBus unplugging a child");
    onUnplug(channel);
  }
  // A bus out of service must not reach the manager any more: its queued and later plug events
  // would announce channels that nobody removes (after a reconnect, duplicates of new ones).
  Subscriber<IHardwareBus::PlugUnplug>::unsubscribe(bus);
  addedBuses_.erase(bus);
  pendingReceivers_.erase(bus);
  xLog(kTag, LogDebug, FN(removeBus), "DeviceManager::removeBus exit");
}

void DeviceManager::removeConnectedBuses() {
  for (const auto& bus : std::set(connectedBuses_)) removeBus(bus);
  connectedBuses_.clear();
}

void DeviceManager::reconnectBuses() {
  xLog(kTag, LogInfo, FN(config_set), "DeviceManager::config_set removing busses");
  removeConnectedBuses();
  xLog(kTag, LogInfo, FN(config_set), "DeviceManager::config_set creating busses");
  if (connectToHardwareBusses()) return;
  // The buses are down now. The client hears of it, the start is tried again on the retry
  // schedule, and devices() or a new ArrivalRemoval subscription tries it at once.
  busesStarted_ = false;
  restartPending_ = true;
  report_unreported_error("DeviceManager::config_set creating busses");
  scheduleRetry();
}

// ---- channels and devices ----

bool DeviceManager::admits(IHardwareDevice& channel) const {
  const int type = channel.bus_type();
  switch (type) {
    case 0: {
      const int pid = channel.pid();
      const bool receiver = pid >= 0x7300 && pid <= 0x73FF;
      return item(wired_active) || (receiver && item(receiver_active));
    }
    case 1:
      return item(receiver_active);
    case 2:
      return item(bluetooth_active);
    case 3:
      return item(ble_active);
    default:
      return type >= 4;
  }
}

void DeviceManager::onPlug(std::shared_ptr<IHardwareDevice> channel) {
  const int pid = channel->pid();
  xLog(kTag, LogDebug, FN(onPlug), "DeviceManager::onPlug(pid=0x%x) begin...", pid);
  if (!channel->open()) {
    xLog(kTag, LogInfo, FN(onPlug), "DeviceManager::onPlug ignoring device it could not open");
    xLog(kTag, LogDebug, FN(onPlug), "DeviceManager::onPlug(pid=0x%x) end...", pid);
    return;
  }
  if (!admits(*channel)) {
    xLog(kTag, LogInfo, FN(onPlug), "DeviceManager::onPlug ignoring suppressed device");
    return;
  }
  if (deviceMap_.contains(channel)) {
    xLog(kTag, LogDebug, FN(onPlug), "  -- there is already a device (existing count = %d) for hwdev: %p",
         static_cast<int>(deviceMap_.count(channel)), static_cast<void*>(channel.get()));
    dumpDevices();
  } else {
    auto device = makeDevice(channel, 0, pid);
    xLog(kTag, LogDebug, FN(onPlug), "   -- adding device pid=0x%x to deviceList", pid);
    deviceMap_[channel] = device;
    xLog(kTag, LogDebug, FN(onPlug), "   -- deviceList[%p] = %p", static_cast<void*>(channel.get()),
         static_cast<void*>(device.get()));
    dumpDevices();
    xLog(kTag, LogInfo, FN(onPlug), "-api- pid=0x%x producing onDeviceArrival", pid);
    Producer<ArrivalRemoval>::produce([device](ArrivalRemoval* s) { s->onDeviceArrival(device); },
                                      "DeviceManager::ArrivalRemoval::onDeviceArrival");
    if (auto receiver = std::dynamic_pointer_cast<IHardwareBus>(device)) {
      xLog(kTag, LogInfo, FN(onPlug), "DeviceManager::onPlug devices is a receiver, so adding receiver bus");
      if (!addBus(receiver)) {
        xLog(kTag, LogInfo, FN(onPlug), "DeviceManager::onPlug addBus of receiver failed, will retry");
        scheduleReceiverRetry(receiver);
      }
    }
  }
  xLog(kTag, LogDebug, FN(onPlug), "DeviceManager::onPlug(pid=0x%x) ...end", pid);
}

void DeviceManager::onUnplug(std::shared_ptr<IHardwareDevice> channel) {
  const int pid = channel->pid();
  xLog(kTag, LogDebug, FN(onUnplug), "DeviceManager::onUnplug(pid=0x%x) begin...", pid);
  if (const auto it = findChannel(channel); it != deviceMap_.end()) {
    // Held by key: removing a receiver's bus below changes the map.
    const auto announced = it->first;
    const auto device = it->second;
    if (auto receiver = std::dynamic_pointer_cast<IHardwareBus>(device)) {
      xLog(kTag, LogDebug, FN(onUnplug), "DeviceManager::onUnplug receiver removing bus");
      removeBus(receiver);
    }
    device->uninitDevice();
    if (!destroying_) {
      xLog(kTag, LogInfo, FN(onUnplug), "-api- pid=0x%x producing onDeviceRemoval", pid);
      Producer<ArrivalRemoval>::produce([device](ArrivalRemoval* s) { s->onDeviceRemoval(device); },
                                        "DeviceManager::ArrivalRemoval::onDeviceRemoval");
    }
    xLog(kTag, LogDebug, FN(onUnplug), "  -- removing device pid=0x%x from deviceList", pid);
    deviceMap_.erase(announced);
  }
  xLog(kTag, LogDebug, FN(onUnplug), "DeviceManager::onUnplug(pid=0x%x) ...end", pid);
}

DeviceManager::DeviceMap::iterator DeviceManager::findChannel(const std::shared_ptr<IHardwareDevice>& channel) {
  if (const auto it = deviceMap_.find(channel); it != deviceMap_.end()) return it;
  const std::string path = channel->path();
  if (path.empty()) return deviceMap_.end();
  return std::find_if(deviceMap_.begin(), deviceMap_.end(), [&](const auto& entry) { return entry.first->path() == path; });
}

std::shared_ptr<IDevice> DeviceManager::makeDevice(std::shared_ptr<IHardwareDevice> channel, int plain, int pid) {
  xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice enter");
  auto self = shared_from_this();
  const ReceiverModel* model = findReceiver(pid);
  if (item(receiver_active) && plain == 0 && model) {
    xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice making a corvane bus");
    const std::shared_ptr<IDevice> bus =
        hooks_.receiverBus ? hooks_.receiverBus(self, channel, model->slots, model->protocolByte)
                           : CorvaneBus::create(self, channel, model->slots, model->protocolByte, hooks_.clock);
    if (bus) {
      xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice initializing corvane bus");
      bus->initDevice(self);
      xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice exit, made bus");
      return bus;
    }
  }
  xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice making a device");
  auto device = std::make_shared<Device>(self, channel, hooks_.clock);
  xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice initializing a device");
  device->initDevice(self);
  device->persistent_data_directory(persistentDirectory_);
  xLog(kTag, LogInfo, FN(makeDevice), "DeviceManager::makeDevice exit, made device");
  return device;
}

void DeviceManager::dumpDevices() {
  xLog(kTag, LogDebug, FN(dumpDevices), "---- DeviceManager::dumpDevices() begin... ----");
  for (const auto& [channel, device] : deviceMap_) {
    xLog(kTag, LogDebug, FN(dumpDevices), "  -- device with pid: 0x%x", device->pid());
  }
  xLog(kTag, LogDebug, FN(dumpDevices), "---- DeviceManager::dumpDevices() ...end ----");
}

std::vector<std::shared_ptr<IDevice>> DeviceManager::devices() {
  xLog(kTag, LogInfo, FN(devices), "-api- enter");
  if (!lazyInitializeHardwareBusses()) {
    xLog(kTag, LogInfo, FN(devices), "DeviceManager::devices() exit (false, lazyInit failed)");
    return {};
  }
  for (const auto& bus : std::set(connectedBuses_)) bus->refresh();
  std::vector<std::shared_ptr<IDevice>> list;
  for (const auto& [channel, device] : deviceMap_) list.push_back(device);
  if (list.empty()) LastError::set(Success);
  xLog(kTag, LogInfo, FN(devices), "-api- exit, returned %d devices", static_cast<int>(list.size()));
  return list;
}

std::vector<std::shared_ptr<IDevice>> DeviceManager::devices_on_bus(std::shared_ptr<IDevice> receiver) {
  const auto bus = std::dynamic_pointer_cast<IHardwareBus>(receiver);
  if (!bus) return {};
  std::vector<std::shared_ptr<IDevice>> list;
  for (const auto& [channel, device] : deviceMap_) {
    if (channel->bus().lock() == bus) list.push_back(device);
  }
  return list;
}

// ---- receiver retries ----

void DeviceManager::scheduleReceiverRetry(const std::shared_ptr<IHardwareBus>& receiver) {
  pendingReceivers_.insert(receiver);
  scheduleRetry();
}

void DeviceManager::scheduleRetry() {
  if (retryCount_ != 0) {
    retryCount_ = 1;  // the running timer stays; the schedule starts over after its expiry
    return;
  }
  retryCount_ = 1;
  if (retryTimer_ || makeRetryTimer()) retryTimer_->restart(2000);
}

void DeviceManager::onTimerEvent(int id) {
  if (id != addbusRetryTimerId) return;
  xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId)");
  bool restartFailed = false;
  if (restartPending_) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) connecting to hardware busses");
    restartFailed = !connectToHardwareBusses();
    busesStarted_ = !restartFailed;
    restartPending_ = restartFailed;
  }
  // Taken after the restart: a receiver that failed while the buses started waits here too.
  const auto pending = pendingReceivers_;
  if (pending.empty() && !restartFailed) {
    retryCount_ = 0;
    return;
  }
  int failures = restartFailed ? 1 : 0;
  for (const auto& receiver : pending) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) attempting addbus");
    if (addBus(receiver)) {
      xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) addbus successful");
      pendingReceivers_.erase(receiver);
    } else {
      xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) addBus returned error %d",
           static_cast<int>(LastError::get().code));
      ++failures;
    }
  }
  if (failures == 0) {
    retryCount_ = 0;
    return;
  }
  xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) retry %d failed", retryCount_);
  ++retryCount_;
  if (retryCount_ > 9) {
    retryCount_ = 0;
    restartPending_ = false;  // given up; devices() and new subscriptions still try the start
    if (pending.empty()) return;  // the start's failure was reported when the buses went down
    LastError::set(AddBusRetryFailed, 0, "Corvane device enumeration failed after max retry attempts");
    const LastError error = LastError::get();
    report_unreported_error("CorvaneBus");
    pendingReceivers_.clear();
    LastError::set(error);  // a handler of the first report may have touched it
    report_unreported_error("DeviceManager::addBus retry failed all attempts");
    return;
  }
  xLog(kTag, LogInfo, FN(onTimerEvent), "DeviceManager::onTimerEvent(addbusRetryTimerId) starting retry timer");
  retryTimer_->restart(2000 << retryCount_);
}

// ---- configuration ----

bool DeviceManager::item(int index) const { return index == gatt_passive ? gGattPassive.load() : items_[index]; }

void DeviceManager::setItem(int index, bool value) {
  if (index == gatt_passive) {
    gGattPassive = value;
  } else {
    items_[index] = value;
  }
}

bool DeviceManager::config_default(int item, bool* out) {
  xLog(kTag, LogInfo, FN(config_default), "DeviceManager::config_default %d", item);
  if (!validItem(item)) {
    xLog(kTag, LogInfo, FN(config_default), "DeviceManager::config_default exit, invalid config item %d", item);
    LastError::set(InvalidConfigItem, 0, "invalid configuration item");
    return false;
  }
  if (out) *out = kDefaults[item];
  return true;
}

bool DeviceManager::config_get(int item, bool* out) {
  xLog(kTag, LogInfo, FN(config_get), "DeviceManager::config_get %d", item);
  if (!validItem(item)) {
    xLog(kTag, LogInfo, FN(config_get), "DeviceManager::config_get exit, invalid config item %d", item);
    LastError::set(InvalidConfigItem, 0, "invalid configuration item");
    return false;
  }
  if (out) *out = this->item(item);
  return true;
}

bool DeviceManager::config_set(int item, bool value) {
  xLog(kTag, LogInfo, FN(config_set), "-api- %d = %d", item, value ? 1 : 0);
  if (!validItem(item)) {
    xLog(kTag, LogInfo, FN(config_set), "DeviceManager::config_set exit, invalid config item %d = %d", item,
         value ? 1 : 0);
    LastError::set(InvalidConfigItem, 0, "invalid configuration item");
    return false;
  }
  if (this->item(item) != value) {
    setItem(item, value);
    if (busesStarted_) reconnectBuses();
  }
  xLog(kTag, LogInfo, FN(config_set), "DeviceManager::config_set exit, %d = %d", item, value ? 1 : 0);
  return true;
}

void DeviceManager::persistent_data_directory(std::string dir) {
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  xLog(kTag, LogInfo, FN(persistent_data_directory), "-api- persistent_data_directory %s", dir.c_str());
  persistentDirectory_ = dir;
  for (const auto& [channel, device] : std::map(deviceMap_)) {
    if (auto protocolDevice = std::dynamic_pointer_cast<Device>(device)) protocolDevice->persistent_data_directory(dir);
  }
  for (const auto& bus : std::set(addedBuses_)) bus->persistent_data_directory(dir);
}

// ---- software id, active state, power, errors ----

void DeviceManager::swid(int id) { swid_ = id & 0x0F; }

// Devices ask from their own threads: the first pick wins, and every caller gets that one.
int DeviceManager::swid() {
  int id = swid_;
  if (id != 0) return id;
  const int picked = std::rand() % 5 + 10;
  return swid_.compare_exchange_strong(id, picked) ? picked : id;
}

bool DeviceManager::is_active() { return active_; }

void DeviceManager::set_active(bool active) {
  xLog(kTag, LogInfo, FN(set_active), "-api- %d", active ? 1 : 0);
  // Once per manager (a repeated subscribe changes nothing), so that every manager, also one made
  // after a reset, re-enumerates its buses when the session becomes active.
  if (!Subscriber<IDeviceManager::ActiveChanged>::subscribe(shared_from_this(), RunLoop, "")) {
    report_unreported_error("DeviceManager::set_active subscribe(IDeviceManager::ActiveChanged)");
  }
  const bool old = active_;
  active_ = active;
  if (active != old || active) {
    Producer<IDeviceManager::ActiveChanged>::produce([active](IDeviceManager::ActiveChanged* s) { s->onActiveChanged(active); },
                                     "DeviceManager::ActiveChanged::onActiveChanged");
  }
}

void DeviceManager::onActiveChanged(bool active) {
  xLog(kTag, LogDebug, FN(onActiveChanged), "DeviceManager::onActiveChanged(active = %d)", active ? 1 : 0);
  if (!active) return;
  for (const auto& bus : std::set(addedBuses_)) bus->devices();
}

void DeviceManager::onPowerChange(bool standBy) {
  xLog(kTag, LogInfo, FN(onPowerChange), "DeviceManager::onPowerChange(standBy=%d)", standBy ? 1 : 0);
  if (standBy) return;
  for (const auto& bus : std::set(addedBuses_)) {
    if (std::dynamic_pointer_cast<IDevice>(bus)) bus->devices();
  }
  for (const auto& [channel, device] : std::map(deviceMap_)) device->confirm_configuration();
}

void DeviceManager::report_unreported_error(const char* msg) {
  const LastError error = LastError::get();
  if (error.code == Success || destroying_) return;
  const char* message = error.message ? error.message : "";
  xLog(kTag, LogWarning, FN(report_unreported_error), "%s: code=%u message=%s detail=%u", msg ? msg : "",
       static_cast<unsigned>(error.code), message, static_cast<unsigned>(error.detail));
  // The text is copied: a run-loop subscriber reads it after the caller's buffer may be gone.
  Producer<UnreportedError>::produce(
      [text = std::string(msg ? msg : ""), error](UnreportedError* s) {
        s->onUnreportedError(text.c_str(), error.code, error.message, error.detail);
      },
      "DeviceManager::UnreportedError::onUnreportedError");
}

// ---- run-loop queue ----

bool DeviceManager::add_subscriber(IDeviceManager::RunLoopEvent* subscriber, int delivery) {
  if (delivery == RunLoop) {
    xLog(kTag, LogError, FN(add_subscriber), "RunLoopEvent refuses run-loop delivery: it would signal itself forever");
    LastError::set(InvalidValue, 0, "RunLoopEvent needs direct delivery");
    return false;
  }
  return Producer<RunLoopEvent>::add_subscriber(subscriber, delivery);
}

void DeviceManager::signalRunLoop() {
  Producer<RunLoopEvent>::produce([](RunLoopEvent* s) { s->onRunLoopEvent(); }, kRunLoopEventName);
}

void DeviceManager::enqueue_event_for_runloop(std::function<void()> call, void* subscriber, void* producer,
                                              std::string name) {
  if (destroying_) return;
  {
    std::lock_guard lock(queueLock_);
    runLoopQueue_.push_back({std::move(call), subscriber, producer, std::move(name)});
    ++signalsInFlight_;
  }
  signalRunLoop();
}

void DeviceManager::call_event_from_runloop() {
  std::function<void()> call;
  bool taken = false;
  bool remaining = false;
  int inFlight = 0;
  {
    std::lock_guard lock(queueLock_);
    inFlight = --signalsInFlight_;
    if (!runLoopQueue_.empty()) {
      taken = true;
      call = std::move(runLoopQueue_.front().call);
      runLoopQueue_.pop_front();
      remaining = !runLoopQueue_.empty();
      if (remaining) ++signalsInFlight_;
    }
  }
  xLog(kTag, LogVerbose, FN(call_event_from_runloop), "DeviceManager::call_event_from_runloop now %d triggers are in-flight",
       inFlight);
  if (!taken) return;
  if (remaining) signalRunLoop();
  if (call) call();
}

void DeviceManager::remove_runloop_events(void* subscriber, void* producer) {
  xLog(kTag, LogInfo, FN(remove_runloop_events), "DeviceManager::remove_runloop_events");
  // Discarded calls are destroyed after the lock is released: their bound arguments may own
  // objects whose destruction comes back here.
  std::list<RunLoopEntry> discarded;
  {
    std::lock_guard lock(queueLock_);
    if (subscriber || producer) {
      for (auto it = runLoopQueue_.begin(); it != runLoopQueue_.end();) {
        const auto next = std::next(it);
        if (it->subscriber == subscriber && it->producer == producer) {
          xLog(kTag, LogInfo, FN(remove_runloop_events), "DeviceManager::remove_runloop_events discarding %s",
               it->name.c_str());
          discarded.splice(discarded.end(), runLoopQueue_, it);
        }
        it = next;
      }
    } else {
      xLog(kTag, LogInfo, FN(remove_runloop_events), "DeviceManager::remove_runloop_events discarding all: %d events",
           static_cast<int>(runLoopQueue_.size()));
      for (const auto& entry : runLoopQueue_) {
        xLog(kTag, LogInfo, FN(remove_runloop_events), "DeviceManager::remove_runloop_events discarding all: %s",
             entry.name.c_str());
      }
      discarded.swap(runLoopQueue_);
    }
  }
}

void DeviceManager::on_subscription_added(IDeviceManager::RunLoopEvent*, bool direct) {
  xLog(kTag, LogInfo, FN(on_subscription_added), "-api- IDeviceManager::RunLoopEvent, delivery=%d", direct ? 1 : 0);
  std::size_t queued = 0;
  {
    std::lock_guard lock(queueLock_);
    queued = runLoopQueue_.size();
  }
  if (queued == 0) return;
  xLog(kTag, LogWarning, FN(on_subscription_added),
       "Subscribed to run loop after %d events are already in the queue... delivering events now", static_cast<int>(queued));
  for (std::size_t i = 0; i < queued; ++i) signalRunLoop();
  xLog(kTag, LogWarning, FN(on_subscription_added), "All pre-existing events have been delivered");
}

}  // namespace devio
