#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "devio/runtime/Clock.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedChannel.h"

namespace testsupport {

// The host end of a SimulatedChannel for tests of simulated devices: writes requests and keeps
// every report the channel's read thread delivers. exchange() waits for answers on a clock, so
// under a ManualClock it is a small command engine for VirtualTime to drive.
class SimulatedHost final : public devio::Subscriber<devio::IHardwareDevice::Read> {
 public:
  explicit SimulatedHost(std::shared_ptr<sim::SimulatedChannel> channel,
                         std::shared_ptr<devio::Clock> clock = devio::Clock::steady())
      : channel_(std::move(channel)), clock_(std::move(clock)) {
    clock_->attach(mutex_, changed_);
    subscribe(std::shared_ptr<devio::IHardwareDevice>(channel_), devio::Direct);
  }
  ~SimulatedHost() override {
    unsubscribe(std::shared_ptr<devio::IHardwareDevice>(channel_));
    clock_->detach(mutex_, changed_);
  }

  bool write(const devio::Bytes& request) { return channel_->write(request, true); }

  // Waits, with a generous real-time bound, until n reports have been read; returns all of them.
  std::vector<devio::Bytes> waitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [&] { return reports_.size() >= n; });
    return reports_;
  }

  // Writes request up to attempts times; each time waits timeout on the clock for a report
  // not yet taken that repeats the request's bytes 1..3. Answers that report, or nothing.
  std::optional<devio::Bytes> exchange(const devio::Bytes& request, std::chrono::milliseconds timeout,
                                       int attempts = 1) {
    const auto repeatsHeader = [&](const devio::Bytes& r) {
      return r.size() >= 4 && std::equal(r.begin() + 1, r.begin() + 4, request.begin() + 1);
    };
    for (int attempt = 0; attempt < attempts; ++attempt) {
      if (!write(request)) return std::nullopt;
      std::unique_lock lock(mutex_);
      const auto answer = [&] { return std::find_if(reports_.begin() + taken_, reports_.end(), repeatsHeader); };
      if (clock_->waitUntil(lock, changed_, clock_->now() + timeout, [&] { return answer() != reports_.end(); })) {
        const auto it = answer();
        taken_ = std::size_t(it - reports_.begin()) + 1;
        return *it;
      }
    }
    return std::nullopt;
  }

  void onRead(devio::Bytes report, bool, unsigned, unsigned) override {
    std::lock_guard lock(mutex_);
    reports_.push_back(std::move(report));
    changed_.notify_all();
  }

 private:
  const std::shared_ptr<sim::SimulatedChannel> channel_;
  const std::shared_ptr<devio::Clock> clock_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<devio::Bytes> reports_;
  std::size_t taken_ = 0;
};

}  // namespace testsupport
