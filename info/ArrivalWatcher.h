#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/Subscriber.h"

// Collects the devices the facade announces. The first ArrivalRemoval subscription starts the
// buses; the run loop then runs on the thread that calls wait(), which is where arrivals come.
class ArrivalWatcher final : public devio::Subscriber<devio::IDeviceManager::RunLoopEvent>,
                             public devio::Subscriber<devio::IDeviceManager::ArrivalRemoval> {
 public:
  explicit ArrivalWatcher(devio::CDevio& devio);
  // Signals come on library threads: they must not reach a watcher half destroyed.
  ~ArrivalWatcher() override;

  // Runs the run loop until expected devices are present (0: no such count) or the wait is over;
  // answers the devices present, in arrival order.
  std::vector<std::shared_ptr<devio::IDevice>> wait(std::chrono::milliseconds wait, std::size_t expected);

  void onRunLoopEvent() override;
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override;
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override;

 private:
  devio::CDevio& devio_;
  std::mutex mutex_;  // guards signals_
  std::condition_variable signalled_;
  int signals_ = 0;
  std::vector<std::shared_ptr<devio::IDevice>> devices_;  // on the thread of the run loop
};
