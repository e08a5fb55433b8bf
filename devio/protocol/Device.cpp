#include "devio/protocol/Device.h"

#include <cstdlib>
#include <cstdio>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Timer.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Device";

// A receiver and every device behind it share one mutex; other devices have one per product id.
std::string mutexName(int pid, int busType) {
  if (pid == 0x7331 || pid == 0x7335 || pid == 0x7342 || busType == 1) return "NorvaleCorvane";
  char name[32];
  std::snprintf(name, sizeof name, "devio_0x%x", static_cast<unsigned>(pid));
  return name;
}

}  // namespace

Device::Device(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> hwdev,
               std::shared_ptr<Clock> clock)
    : manager_(std::move(manager)), hwdev_(std::move(hwdev)), clock_(clock ? std::move(clock) : Clock::steady()) {
  xLog(kTag, LogInfo, FN(Device), "Device::Device()");
  timeoutMs_ = 3000;
  retries_ = 10;
  // A clock moved by hand must be able to wake an exchange waiting on it.
  clock_->attach(commandMutex_, commandCondition_);
}

Device::~Device() {
  xLog(kTag, LogInfo, FN(~Device), "Device::~Device() enter");
  // No handler (the channel's on its read thread, the run loop's on the dispatch thread) may run
  // into the members this destructor is about to release.
  Subscriber<IHardwareDevice::Read>::unsubscribe_all();
  Subscriber<IHardwareDevice::Write>::unsubscribe_all();
  Subscriber<IHardwareDevice::Connect>::unsubscribe_all();
  Subscriber<IDeviceManager::ActiveChanged>::unsubscribe_all();
  Subscriber<IFeature1D4BWirelessStatus::Report>::unsubscribe_all();
  Subscriber<ITimer::TimerEvent>::unsubscribe_all();
  bool dirty;
  {
    std::lock_guard lock(commandMutex_);
    dirty = cacheDirty_;
  }
  if (dirty) perform_cache_write();
  clock_->detach(commandMutex_, commandCondition_);
  xLog(kTag, LogInfo, FN(~Device), "Device::~Device() exit");
}

bool Device::initDevice(std::shared_ptr<IDeviceManager> manager) {
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice() enter");
  if (manager) manager_ = manager;
  manager = manager_.lock();
  const int productId = pid();
  namedMutex_ = std::make_unique<NamedMutex>(mutexName(productId, hwdev_->bus_type()), false);
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice enter, pid=0x%x", productId);

  if (manager) {
    if (!Subscriber<IDeviceManager::ActiveChanged>::subscribe(manager, RunLoop)) {
      reportError("Device::initDevice subscribe(IDeviceManager::ActiveChanged)");
    }
    active_ = manager->is_active();
  }
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice exit");

  const auto makeTimer = [this](int id, const char* failureText) -> std::shared_ptr<ITimer> {
    auto timer = Timer::create(id, clock_);
    if (!Subscriber<ITimer::TimerEvent>::subscribe(timer, RunLoop)) reportError(failureText);
    return timer;
  };
  deactivation_timer = makeTimer(DeactivationTimerId, "Device::initDevice subscribe(deactivation_timer)");
  cache_write_timer = makeTimer(CacheWriteTimerId, "Device::initDevice subscribe(cache_write_timer)");
  fw_check_timer = makeTimer(FwCheckTimerId, "Device::initDevice subscribe(fw_check_timer)");

  if (transport() == 1) {
    bool brb = false;
    if (manager && manager->config_get(IDeviceManager::brb_workaround, &brb) && brb) {
      brbEnabled_ = true;
      xLog(kTag, LogInfo, FN(initDevice), "This corvane device enabling the brb workaround, pid=0x%x", productId);
    } else {
      xLog(kTag, LogDebug, FN(initDevice), "Corvane device but brb workaround disabled, pid=0x%x", productId);
    }
  }
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice() exit");
  return true;
}

bool Device::removed() { return removed_; }
int Device::type() { return hwdev_->bus_type(); }
int Device::transport() { return hwdev_->bus_type(); }
int Device::link_index() { return hwdev_->link_index(); }
std::shared_ptr<IHardwareBus> Device::bus() { return hwdev_->bus().lock(); }
std::string Device::path() { return hwdev_->path(); }
int Device::pid() { return hwdev_->pid(); }
std::string Device::name() { return hwdev_->name(); }
int Device::receiver_activity() { return hwdev_->receiver_activity(); }
int Device::receiver_status() { return hwdev_->receiver_status(); }
std::weak_ptr<IDeviceManager> Device::device_manager() { return manager_; }

int Device::random(int lo, int hi) { return lo + std::rand() % (hi - lo + 1); }

}  // namespace devio
