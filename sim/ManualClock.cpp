#include "sim/ManualClock.h"

#include <algorithm>
#include <vector>

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
  // A waiter that need not wait is never registered, so it never looks like one to a driver.
  if (stop()) return true;
  std::list<Waiter>::iterator entry;
  {
    std::lock_guard registry(registryMutex_);
    entry = inside_.insert(inside_.end(), Waiter{deadline, lock.mutex(), &stop, std::this_thread::get_id()});
    ++waitChanges_;
  }
  registryChanged_.notify_all();
  cv.wait(lock, [&] { return stop() || now() >= deadline; });
  {
    std::lock_guard registry(registryMutex_);
    inside_.erase(entry);
    ++waitChanges_;
  }
  registryChanged_.notify_all();
  return stop();
}

void ManualClock::advance(duration by) {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard registry(registryMutex_);
    now_ += by.count();
    const auto end = scheduled_.upper_bound(now());
    for (auto it = scheduled_.begin(); it != end; ++it) due.push_back(std::move(it->second));
    scheduled_.erase(scheduled_.begin(), end);
  }
  for (const auto& action : due) action();
  std::lock_guard lock(mutex_);
  // Taking each waiter's mutex orders this move before its next predicate check.
  for (auto& [mutex, cv] : waiters_) {
    std::lock_guard waiterLock(*mutex);
    cv->notify_all();
  }
}

void ManualClock::at(time_point when, std::function<void()> action) {
  {
    std::lock_guard registry(registryMutex_);
    if (when > now()) {
      scheduled_.emplace(when, std::move(action));
      return;
    }
  }
  action();
}

int ManualClock::waiting() const {
  std::lock_guard registry(registryMutex_);
  return static_cast<int>(inside_.size());
}

bool ManualClock::waiting(std::thread::id thread) const {
  std::lock_guard registry(registryMutex_);
  return std::any_of(inside_.begin(), inside_.end(), [&](const Waiter& waiter) { return waiter.thread == thread; });
}

bool ManualClock::waitersBlocked() const {
  std::lock_guard registry(registryMutex_);
  // try_lock keeps the lock order (a waiter takes the registry with its own mutex held): a
  // mutex that is taken means its owner is busy, which is not blocked either.
  const time_point current = now();
  return !inside_.empty() && std::all_of(inside_.begin(), inside_.end(), [&](const Waiter& waiter) {
    std::unique_lock lock(*waiter.mutex, std::try_to_lock);
    return lock.owns_lock() && waiter.deadline > current && !(*waiter.stop)();
  });
}

std::optional<devio::Clock::time_point> ManualClock::nextDeadline() const {
  std::lock_guard registry(registryMutex_);
  std::optional<time_point> next;
  for (const Waiter& waiter : inside_) next = std::min(next.value_or(time_point::max()), waiter.deadline);
  if (!scheduled_.empty()) next = std::min(next.value_or(time_point::max()), scheduled_.begin()->first);
  return next;
}

std::uint64_t ManualClock::waitChanges() const {
  std::lock_guard registry(registryMutex_);
  return waitChanges_;
}

bool ManualClock::waitForWaiters(int n, std::chrono::milliseconds realTimeout) {
  std::unique_lock registry(registryMutex_);
  return registryChanged_.wait_for(registry, realTimeout, [&] { return static_cast<int>(inside_.size()) >= n; });
}

bool ManualClock::advanceToNextDeadline() {
  time_point target = time_point::max();
  {
    std::lock_guard registry(registryMutex_);
    const time_point current = now();
    for (const Waiter& waiter : inside_) {
      if (waiter.deadline > current) target = std::min(target, waiter.deadline);
    }
    // Every scheduled action lies after now: advance() runs those that fall due.
    if (!scheduled_.empty()) target = std::min(target, scheduled_.begin()->first);
  }
  if (target == time_point::max()) return false;
  advance(target - now());
  return true;
}

}  // namespace sim
