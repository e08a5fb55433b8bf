#include "devio/runtime/Timer.h"

#include <algorithm>
#include <chrono>

#include "devio/runtime/WorkerThread.h"

namespace devio {

std::shared_ptr<Timer> Timer::create(int id, std::shared_ptr<Clock> clock) {
  return std::shared_ptr<Timer>(new Timer(id, clock ? std::move(clock) : Clock::steady()));
}

Timer::Timer(int id, std::shared_ptr<Clock> clock) : clock_(std::move(clock)), id_(id) {
  clock_->attach(mutex_, wakeUp_);
}

Timer::~Timer() {
  stop();
  clock_->detach(mutex_, wakeUp_);
}

bool Timer::start_if_idle(int ms) {
  if (worker_.joinable() && clock_->now() < halfDeadline_) return false;
  return restart(ms);
}

bool Timer::restart(int ms) {
  stop();
  const auto half = std::chrono::milliseconds(std::max(ms, 0) / 2);
  halfDeadline_ = clock_->now() + half;
  endDeadline_ = halfDeadline_ + half;
  stopRequested_ = false;  // no worker runs here, so no lock is needed
  worker_ = std::thread(&Timer::wait, this);
  return true;
}

bool Timer::stop() {
  if (!worker_.joinable()) return true;
  if (worker_.get_id() == std::this_thread::get_id()) {
    // Called from the production (which holds the lock): nothing follows it, and the worker
    // cannot join itself. Reached when the timer is released on its own worker.
    worker_.detach();
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wakeUp_.notify_all();
  worker_.join();
  return true;
}

void Timer::wait() {
  const WorkerThread worker;
  std::unique_lock lock(mutex_);
  const auto stopped = [this] { return stopRequested_; };
  if (clock_->waitUntil(lock, wakeUp_, halfDeadline_, stopped)) return;
  if (clock_->waitUntil(lock, wakeUp_, endDeadline_, stopped)) return;
  // Held through the production, so that a handler releasing the timer does not destroy it
  // under the walk; the last release then happens below, once nothing of the timer is in use.
  // Empty when the owner is destroying the timer, and then joins this worker.
  auto self = weak_from_this().lock();
  const int id = id_;
  produce([id](TimerEvent* s) { s->onTimerEvent(id); }, "Timer::TimerEvent::onTimerEvent");
  lock.unlock();
  self.reset();
}

}  // namespace devio
