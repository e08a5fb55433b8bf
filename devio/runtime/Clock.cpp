#include "devio/runtime/Clock.h"

namespace devio {

namespace {

class SteadyClock final : public Clock {
 public:
  time_point now() const override { return std::chrono::steady_clock::now(); }

  bool waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, time_point deadline,
                 const std::function<bool()>& stop) override {
    return cv.wait_until(lock, deadline, stop);
  }
};

}  // namespace

std::shared_ptr<Clock> Clock::steady() {
  static const std::shared_ptr<Clock> clock = std::make_shared<SteadyClock>();
  return clock;
}

}  // namespace devio
