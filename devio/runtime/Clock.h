#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace devio {

// The time source of every library wait (timers, command time-outs). The production clock is
// the steady clock; tests install a manual one so that no test sleeps through a real period.
class Clock {
 public:
  using time_point = std::chrono::steady_clock::time_point;
  using duration = std::chrono::steady_clock::duration;

  virtual ~Clock() = default;
  virtual time_point now() const = 0;

  // A waiter announces the mutex and condition variable it waits with, for the whole time it
  // may wait, so that a clock moved by hand can wake it. The production clock ignores this.
  virtual void attach(std::mutex&, std::condition_variable&) {}
  virtual void detach(std::mutex&, std::condition_variable&) {}

  // Waits (lock held on entry and on return) until stop() or the deadline; answers stop().
  virtual bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                         const std::function<bool()>& stop) = 0;

  // The process-wide steady clock.
  static std::shared_ptr<Clock> steady();
};

}  // namespace devio
