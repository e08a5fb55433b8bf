#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/Subscriber.h"

namespace testsupport {

// The client side of the run loop in a test. Subscribed directly to RunLoopEvent, it counts the
// signals (on whatever thread queued a call) and, like a dialog that posts itself a message per
// signal, runs the facade's call_event_from_runloop once per signal on the test's thread.
class RunLoopPump final : public devio::Subscriber<devio::IDeviceManager::RunLoopEvent> {
 public:
  // Subscribes to the facade's manager (created if needed).
  RunLoopPump();
  // Signals come on library threads: they must not reach a pump half destroyed.
  ~RunLoopPump() override;

  bool subscribed() const { return subscribed_; }
  int pending();
  // Dispatches once per pending signal until none is pending; answers the dispatches made.
  int drain();
  // Waits until a signal is pending, bounded by real time; false when none came.
  bool waitForSignal(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  void onRunLoopEvent() override;

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  int pending_ = 0;
  bool subscribed_ = false;
};

}  // namespace testsupport
