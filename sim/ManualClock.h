#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <utility>

#include "devio/runtime/Clock.h"

namespace sim {

// A clock that moves only when a test advances it. Waiters that attached are woken (under their
// own mutex, so no wake-up is lost) each time the clock moves.
class ManualClock final : public devio::Clock {
 public:
  time_point now() const override;
  void attach(std::mutex& mutex, std::condition_variable& cv) override;
  void detach(std::mutex& mutex, std::condition_variable& cv) override;
  bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                 const std::function<bool()>& stop) override;

  void advance(duration by);
  void advanceMs(long long ms) { advance(std::chrono::milliseconds(ms)); }

 private:
  std::atomic<duration::rep> now_{0};  // lock-free: waiters read it under their own mutex
  std::mutex mutex_;                   // guards waiters_; taken before any waiter's mutex
  std::list<std::pair<std::mutex*, std::condition_variable*>> waiters_;
};

}  // namespace sim
