#pragma once

namespace devio {

// A one-shot timer: armed with a period in milliseconds, it produces TimerEvent with its id once.
class ITimer {
 public:
  class TimerEvent {
   public:
    virtual void onTimerEvent(int /*id*/) {}
    virtual ~TimerEvent() = default;
  };

  virtual ~ITimer() = default;
  // Arms unless the timer is in the first half of a running period; true when it armed.
  virtual bool start_if_idle(int ms) = 0;
  // Stops any running period and arms anew.
  virtual bool restart(int ms) = 0;
  virtual bool stop() = 0;
};

}  // namespace devio
