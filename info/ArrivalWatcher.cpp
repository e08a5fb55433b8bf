#include "info/ArrivalWatcher.h"

#include <algorithm>

ArrivalWatcher::ArrivalWatcher(devio::CDevio& devio) : devio_(devio) {
  std::shared_ptr<devio::IDeviceManager> manager = devio_;
  Subscriber<devio::IDeviceManager::RunLoopEvent>::subscribe(manager, devio::Direct);
  Subscriber<devio::IDeviceManager::ArrivalRemoval>::subscribe(manager, devio::RunLoop);
  // What the buses announced while they started came before the subscription.
  devices_ = devio_.devices();
}

ArrivalWatcher::~ArrivalWatcher() {
  Subscriber<devio::IDeviceManager::RunLoopEvent>::unsubscribe_all();
  Subscriber<devio::IDeviceManager::ArrivalRemoval>::unsubscribe_all();
}

std::vector<std::shared_ptr<devio::IDevice>> ArrivalWatcher::wait(std::chrono::milliseconds wait,
                                                                  std::size_t expected) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (expected == 0 || devices_.size() < expected) {
    {
      std::unique_lock lock(mutex_);
      if (!signalled_.wait_until(lock, deadline, [this] { return signals_ > 0; })) break;
      --signals_;
    }
    devio_.call_event_from_runloop();  // may signal again, on this thread
  }
  return devices_;
}

void ArrivalWatcher::onRunLoopEvent() {
  std::lock_guard lock(mutex_);
  ++signals_;
  signalled_.notify_all();
}

void ArrivalWatcher::onDeviceArrival(std::shared_ptr<devio::IDevice> device) {
  if (std::find(devices_.begin(), devices_.end(), device) == devices_.end()) devices_.push_back(std::move(device));
}

void ArrivalWatcher::onDeviceRemoval(std::shared_ptr<devio::IDevice> device) { std::erase(devices_, device); }
