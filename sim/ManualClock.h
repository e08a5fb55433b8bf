#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "devio/runtime/Clock.h"

namespace sim {

// A clock that moves only when a test advances it. Waiters that attached are woken (under their
// own mutex, so no wake-up is lost) each time the clock moves.
//
// It also knows who is waiting for it: the deadline of every thread inside waitUntil, and the
// actions scheduled with at(). A driver (VirtualTime, or a test by hand) uses that to move the
// clock straight to the next moment something happens.
class ManualClock final : public devio::Clock {
 public:
  time_point now() const override;
  void attach(std::mutex& mutex, std::condition_variable& cv) override;
  void detach(std::mutex& mutex, std::condition_variable& cv) override;
  bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                 const std::function<bool()>& stop) override;

  // Moves the clock: first runs the scheduled actions that fall due (on the calling thread, in
  // time order), then wakes the attached waiters.
  void advance(duration by);
  void advanceMs(long long ms) { advance(std::chrono::milliseconds(ms)); }

  // Runs action once the clock reaches when: on the thread that advances it there, or at once on
  // the calling thread when when is not later than now.
  void at(time_point when, std::function<void()> action);

  // How many threads are inside waitUntil.
  int waiting() const;
  // Whether this thread is inside waitUntil.
  bool waiting(std::thread::id thread) const;
  // At least one thread waits, and every waiting thread is blocked until the clock moves on: its
  // deadline is still ahead, no thread holds its mutex and its stop condition is false (nothing
  // else has woken it). Evaluates the stop conditions, which must be plain checks of state that
  // their mutex guards.
  bool waitersBlocked() const;
  // The earliest deadline of a waiting thread or scheduled action (it may already have passed
  // for a waiter that has not woken yet); empty when there is none.
  std::optional<time_point> nextDeadline() const;
  // Counts every thread entering or leaving waitUntil; a watcher that sees it unchanged knows
  // that no thread started or stopped waiting meanwhile.
  std::uint64_t waitChanges() const;
  // Blocks until at least n threads wait or realTimeout (real time) has passed; answers whether
  // n threads wait.
  bool waitForWaiters(int n, std::chrono::milliseconds realTimeout);
  // Advances to the earliest deadline or scheduled action later than now; false when there is
  // none (a wait without end does not count).
  bool advanceToNextDeadline();

 private:
  std::atomic<duration::rep> now_{0};  // lock-free: waiters read it under their own mutex
  std::mutex mutex_;                   // guards waiters_; taken before any waiter's mutex
  std::list<std::pair<std::mutex*, std::condition_variable*>> waiters_;

  // A leaf lock: waitUntil takes it with the waiter's mutex held, so it is never held while
  // waiting for another lock or running an action (waitersBlocked only tries waiter mutexes).
  mutable std::mutex registryMutex_;
  std::condition_variable registryChanged_;
  struct Waiter {
    time_point deadline;
    std::mutex* mutex;
    const std::function<bool()>* stop;
    std::thread::id thread;
  };
  std::list<Waiter> inside_;  // one per thread inside waitUntil
  std::multimap<time_point, std::function<void()>> scheduled_;
  std::uint64_t waitChanges_ = 0;
};

}  // namespace sim
