#include "devio/runtime/CDevio.h"

#include <atomic>

#include "devio/protocol/LastError.h"
#include "devio/runtime/ReleaseThreads.h"
#include "devio/runtime/RunLoopQueue.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "devio/runtime/WorkerThread.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::CDevio::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Devio";

// Set when the facade is destroyed. Constant-initialised and never destroyed, so that late
// producers can find out without touching the facade itself.
std::atomic<bool> gDestroyed{false};

}  // namespace

CDevio& theDevio() {
  static CDevio devio;
  return devio;
}

CDevio::CDevio() {
  Vs2003SingletonThreadCleanup::add([this] { shutdown(); });
}

CDevio::~CDevio() {
  xLog(kTag, LogInfo, FN(~CDevio), "CDevio::~CDevio");
  if (existing()) {
    // Destroying the manager now would join its worker threads after main() has returned.
    xLog(kTag, LogInfo, FN(~CDevio), "CDevio::~CDevio calling about_to_join() to avoid deadlock");
    Vs2003SingletonThreadCleanup::about_to_join();
  }
  gDestroyed = true;
}

std::shared_ptr<IDeviceManager> CDevio::getimpl() {
  if (gDestroyed) return nullptr;
  std::lock_guard lock(lock_);
  if (shuttingDown_) {
    xLog(kTag, LogInfo, FN(getimpl), "CDevio::getimpl retuning nullptr due to shutdown");
    LastError::set(Unavailable);
    return nullptr;
  }
  if (!impl_) {
    xLog(kTag, LogInfo, FN(getimpl), "CDevio::getimpl creating cdevio DeviceManager");
    impl_ = DeviceManager::create(hooks_);
    Vs2003SingletonThreadCleanup::manager_held(true);
  }
  return impl_;
}

std::shared_ptr<IDeviceManager> CDevio::existing() {
  if (gDestroyed) return nullptr;
  std::lock_guard lock(lock_);
  return impl_;
}

CDevio::operator std::shared_ptr<IDeviceManager>() {
  xLog(kTag, LogInfo, FN(operator shared_ptr), "CDevio::shared_ptr<>");
  return getimpl();
}

void CDevio::install_hooks(DeviceManager::Hooks hooks) {
  std::lock_guard lock(lock_);
  hooks_ = std::move(hooks);
}

void CDevio::reset() {
  xLog(kTag, LogInfo, FN(reset), "CDevio::reset enter");
  if (!gDestroyed) {
    std::shared_ptr<IDeviceManager> old;
    {
      std::lock_guard lock(lock_);
      old.swap(impl_);
      Vs2003SingletonThreadCleanup::manager_held(false);
    }
    if (old) old->remove_runloop_events(nullptr, nullptr);
    old.reset();  // the manager goes now unless a client or a production still holds it
    // A production that held the last reference handed the destruction to a thread of its own;
    // here it is waited for (not on a worker thread: the destruction may join that one).
    if (!WorkerThread::current()) ReleaseThreads::join();
  }
  xLog(kTag, LogInfo, FN(reset), "CDevio::reset exit");
}

void CDevio::shutdown() {
  xLog(kTag, LogInfo, FN(shutdown), "CDevio::shutdown enter");
  {
    std::lock_guard lock(lock_);
    shuttingDown_ = true;
  }
  reset();
  xLog(kTag, LogInfo, FN(shutdown), "CDevio::shutdown exit");
}

std::vector<std::shared_ptr<IDevice>> CDevio::devices() {
  xLog(kTag, LogInfo, FN(devices), "CDevio::devices");
  auto manager = getimpl();
  return manager ? manager->devices() : std::vector<std::shared_ptr<IDevice>>{};
}

std::vector<std::shared_ptr<IDevice>> CDevio::devices_on_bus(std::shared_ptr<IDevice> receiver) {
  xLog(kTag, LogInfo, FN(devices_on_bus), "CDevio::devices_on_bus");
  auto manager = getimpl();
  return manager ? manager->devices_on_bus(std::move(receiver)) : std::vector<std::shared_ptr<IDevice>>{};
}

void CDevio::swid(int id) {
  xLog(kTag, LogInfo, FN(swid), "CDevio::swid");
  if (auto manager = getimpl()) manager->swid(id);
}

int CDevio::swid() {
  xLog(kTag, LogInfo, FN(swid), "CDevio::swid");
  auto manager = getimpl();
  return manager ? manager->swid() : 15;
}

bool CDevio::is_active() {
  xLog(kTag, LogInfo, FN(is_active), "CDevio::is_active");
  auto manager = getimpl();
  return manager && manager->is_active();
}

void CDevio::set_active(bool active) {
  xLog(kTag, LogInfo, FN(set_active), "CDevio::set_active %s", active ? "true" : "false");
  if (auto manager = getimpl()) manager->set_active(active);
}

void CDevio::report_unreported_error(const char* msg) {
  auto manager = existing();
  if (!manager) {
    xLog(kTag, LogInfo, FN(report_unreported_error), "skipping CDevio::report_unreported_error");
    return;
  }
  xLog(kTag, LogInfo, FN(report_unreported_error), "CDevio::report_unreported_error");
  manager->report_unreported_error(msg);
}

void CDevio::enqueue_event_for_runloop(std::function<void()> call, void* subscriber, void* producer,
                                       std::string name) {
  auto manager = existing();
  if (!manager) {
    xLog(kTag, LogInfo, FN(enqueue_event_for_runloop), "skipping CDevio::enqueue_event_for_runloop");
    return;
  }
  manager->enqueue_event_for_runloop(std::move(call), subscriber, producer, std::move(name));
}

void CDevio::call_event_from_runloop() {
  if (auto manager = existing()) manager->call_event_from_runloop();
}

void CDevio::remove_runloop_events(void* subscriber, void* producer) {
  auto manager = existing();
  if (!manager) {
    xLog(kTag, LogInfo, FN(remove_runloop_events), "skipping CDevio::remove_runloop_events");
    return;
  }
  xLog(kTag, LogInfo, FN(remove_runloop_events), "CDevio::remove_runloop_events start");
  manager->remove_runloop_events(subscriber, producer);
  xLog(kTag, LogInfo, FN(remove_runloop_events), "CDevio::remove_runloop_events end");
}

void CDevio::persistent_data_directory(std::string dir) {
  xLog(kTag, LogInfo, FN(persistent_data_directory), "CDevio::persistent_data_directory");
  if (auto manager = getimpl()) manager->persistent_data_directory(std::move(dir));
}

bool CDevio::config_default(int item, bool* out) {
  xLog(kTag, LogInfo, FN(config_default), "CDevio::config_default %d", item);
  auto manager = getimpl();
  return manager && manager->config_default(item, out);
}

bool CDevio::config_get(int item, bool* out) {
  xLog(kTag, LogInfo, FN(config_get), "CDevio::config_get %d", item);
  auto manager = getimpl();
  return manager && manager->config_get(item, out);
}

bool CDevio::config_set(int item, bool value) {
  xLog(kTag, LogInfo, FN(config_set), "CDevio::config_set %d = %d", item, value ? 1 : 0);
  auto manager = getimpl();
  return manager && manager->config_set(item, value);
}

bool CDevio::connectToHardwareBusses() {
  xLog(kTag, LogInfo, FN(connectToHardwareBusses), "CDevio::connectToHardwareBusses");
  auto manager = getimpl();
  return manager && manager->connectToHardwareBusses();
}

std::shared_ptr<IDevice> CDevio::makeDevice(std::shared_ptr<IHardwareDevice> channel, int plain, int pid) {
  xLog(kTag, LogInfo, FN(makeDevice), "CDevio::makeDevice");
  auto manager = getimpl();
  return manager ? manager->makeDevice(std::move(channel), plain, pid) : nullptr;
}

bool CDevio::manual_subscribe(IDeviceManager::ArrivalRemoval* subscriber, int delivery) {
  xLog(kTag, LogInfo, FN(manual_subscribe), "CDevio::manual_subscribe");
  auto producer = std::dynamic_pointer_cast<Producer<ArrivalRemoval>>(getimpl());
  return producer && producer->add_subscriber(subscriber, delivery);
}

void CDevio::manual_unsubscribe(IDeviceManager::ArrivalRemoval* subscriber) {
  auto producer = std::dynamic_pointer_cast<Producer<ArrivalRemoval>>(existing());
  if (!producer) {
    xLog(kTag, LogInfo, FN(manual_unsubscribe), "skipping CDevio::manual_unsubscribe");
    return;
  }
  xLog(kTag, LogInfo, FN(manual_unsubscribe), "CDevio::manual_unsubscribe");
  producer->remove_subscriber(subscriber);
}

}  // namespace devio

// The producers' way into the facade's run-loop queue.
namespace devio::runloop {

void enqueue(std::function<void()> call, void* subscriber, void* producerKey, std::string name) {
  if (gDestroyed) return;
  theDevio().enqueue_event_for_runloop(std::move(call), subscriber, producerKey, std::move(name));
}

void remove(void* subscriber, void* producerKey) {
  if (gDestroyed) return;
  theDevio().remove_runloop_events(subscriber, producerKey);
}

}  // namespace devio::runloop
