#include "sim/ManualClock.h"

#include <algorithm>

namespace sim {

devio::Clock::time_point ManualClock::now() const {
  return time_point(duration(now_.load()));
}

void ManualClock::attach(std::mutex& mutex, std::condition_variable& cv) {
  std::lock_guard lock(mutex_);
  waiters_.emplace_back(&mutex, &cv);
}

void ManualClock::detach(std::mutex& mutex, std::condition_variable& cv) {
  std::lock_guard lock(mutex_);
  waiters_.remove(std::make_pair(&mutex, &cv));
}

bool ManualClock::waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                            const std::function<bool()>& stop) {
  cv.wait(lock, [&] { return stop() || now() >= deadline; });
  return stop();
}

void ManualClock::advance(duration by) {
  std::lock_guard lock(mutex_);
  now_ += by.count();
  // Taking each waiter's mutex orders this move before its next predicate check.
  for (auto& [mutex, cv] : waiters_) {
    std::lock_guard waiterLock(*mutex);
    cv->notify_all();
  }
}

}  // namespace sim
