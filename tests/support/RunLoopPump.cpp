#include "tests/support/RunLoopPump.h"

#include "devio/runtime/CDevio.h"

namespace testsupport {

RunLoopPump::RunLoopPump() { subscribed_ = subscribe(devio::theDevio().getimpl(), devio::Direct); }

RunLoopPump::~RunLoopPump() { unsubscribe_all(); }

int RunLoopPump::pending() {
  std::lock_guard lock(mutex_);
  return pending_;
}

int RunLoopPump::drain() {
  int dispatched = 0;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (pending_ == 0) return dispatched;
      --pending_;
    }
    devio::theDevio().call_event_from_runloop();  // may signal again, on this thread
    ++dispatched;
  }
}

bool RunLoopPump::waitForSignal(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return signalled_.wait_for(lock, timeout, [this] { return pending_ > 0; });
}

void RunLoopPump::onRunLoopEvent() {
  std::lock_guard lock(mutex_);
  ++pending_;
  signalled_.notify_all();
}

}  // namespace testsupport
