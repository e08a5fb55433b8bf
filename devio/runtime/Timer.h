#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "devio/runtime/Clock.h"
#include "devio/runtime/ITimer.h"
#include "devio/runtime/Producer.h"

namespace devio {

// A one-shot timer with one worker thread per arming. The worker waits two halves of the period
// (2 * (ms / 2) ms in all) on the injected clock and then produces TimerEvent with the id, on the
// worker thread with the timer's lock held. Owners subscribe with run-loop delivery; a direct
// handler may release the last reference to the timer (it is then destroyed on its worker once
// the production is over), but must not re-arm it. start_if_idle, restart and stop of one timer
// are called from one thread.
class Timer final : public ITimer, public Producer<ITimer::TimerEvent>, public std::enable_shared_from_this<Timer> {
 public:
  static std::shared_ptr<Timer> create(int id, std::shared_ptr<Clock> clock = Clock::steady());
  ~Timer() override;

  // Arms unless the current arming is still in the first half of its period.
  bool start_if_idle(int ms) override;
  // Stops any arming (joining its worker, no event) and arms anew; 0 or less expires at once.
  bool restart(int ms) override;
  bool stop() override;

  int id() const { return id_; }

 private:
  Timer(int id, std::shared_ptr<Clock> clock);
  void wait();

  const std::shared_ptr<Clock> clock_;
  const int id_;
  std::thread worker_;
  std::mutex mutex_;  // held by the worker for its whole run; guards stopRequested_
  std::condition_variable wakeUp_;
  bool stopRequested_ = false;
  // Deadlines of the current arming, fixed by restart() before the worker starts.
  Clock::time_point halfDeadline_{};
  Clock::time_point endDeadline_{};
};

}  // namespace devio
