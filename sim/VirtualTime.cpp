#include "sim/VirtualTime.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

namespace sim {

namespace {

// How long everything must stay at rest before the clock jumps: a margin for threads that run
// without touching the clock or a watched object while others wait.
constexpr std::chrono::milliseconds Settle(2);
constexpr std::chrono::milliseconds Poll(1);

long long millis(devio::Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

}  // namespace

VirtualTime::VirtualTime(std::shared_ptr<ManualClock> clock, std::chrono::milliseconds realBound)
    : clock_(std::move(clock)), realBound_(realBound) {}

void VirtualTime::watch(const std::shared_ptr<SimulatedChannel>& channel) { channels_.push_back(channel); }

void VirtualTime::watch(const std::shared_ptr<SimulatedVeloDevice>& device) {
  devices_.push_back(device);
  if (auto channel = device->channel()) watch(channel);
}

void VirtualTime::watch(std::function<bool()> idle, std::function<std::uint64_t()> activity) {
  watched_.push_back({std::move(idle), std::move(activity)});
}

void VirtualTime::drive(const std::function<void()>& call) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  });

  const auto giveUp = std::chrono::steady_clock::now() + realBound_;
  std::unique_lock lock(mutex);
  while (!ended.wait_for(lock, Poll, [&] { return done; })) {
    if (std::chrono::steady_clock::now() > giveUp) reportHang();
    lock.unlock();
    const auto before = activity();
    bool advance = false;
    if (quiet()) {
      std::this_thread::sleep_for(Settle);
      advance = activity() == before && quiet();
    }
    lock.lock();
    if (advance && !done) clock_->advanceToNextDeadline();
  }
  lock.unlock();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

bool VirtualTime::quiet() const {
  const auto busy = [](const auto& watched) {
    return std::any_of(watched.begin(), watched.end(), [](const auto& weak) {
      const auto object = weak.lock();
      return object && !object->idle();
    });
  };
  const auto restless = [](const Watched& watched) { return !watched.idle(); };
  // Upstream first: an answer that moves on from a device to a channel and on to a waiter
  // during these checks is seen at the next stop, or it changes activity().
  return !busy(devices_) && std::none_of(watched_.begin(), watched_.end(), restless) && !busy(channels_) &&
         clock_->waitersBlocked();
}

std::uint64_t VirtualTime::activity() const {
  std::uint64_t total = clock_->waitChanges();
  for (const auto& weak : devices_) {
    if (const auto device = weak.lock()) total += device->requestCount();
  }
  for (const Watched& watched : watched_) {
    if (watched.activity) total += watched.activity();
  }
  return total;
}

void VirtualTime::reportHang() const {
  const auto next = clock_->nextDeadline();
  std::fprintf(stderr,
               "VirtualTime: the call has not ended after %lld ms of real time; virtual time %lld ms, "
               "%d thread(s) waiting on the clock, next deadline %lld ms (-1: none)\n",
               static_cast<long long>(realBound_.count()), millis(clock_->now()), clock_->waiting(),
               next ? millis(*next) : -1LL);
  for (const auto& weak : channels_) {
    if (const auto channel = weak.lock()) {
      std::fprintf(stderr, "VirtualTime: channel %s %s\n", channel->path().c_str(), channel->idle() ? "idle" : "busy");
    }
  }
  std::fflush(stderr);
  std::abort();
}

}  // namespace sim
