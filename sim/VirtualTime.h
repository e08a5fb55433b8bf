#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "sim/ManualClock.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"

namespace sim {

// Runs a blocking call under virtual time: the call runs on a worker thread while the calling
// thread drives the ManualClock. Whenever no watched device is answering a write, every watched
// predicate says its object is at rest, no watched channel has a report on its way to a reader,
// every thread waiting on the clock is blocked
// until it moves on (ManualClock::waitersBlocked), and all that stayed so during a short
// settling pause, the clock jumps to the next deadline. A call that waits 11 times 3000 ms for
// answers that never come thus ends at once, at virtual time 33 s.
//
// Limits: only threads inside ManualClock::waitUntil are seen. A thread that works for long
// without touching the clock or a watched object while another thread waits on the clock may
// find the clock moved on. Waiters must attach to the
// clock (devio::Clock::attach) to be woken when it moves. When the call has not ended after
// realBound of real time, the process is aborted with a description of what was waiting: a hang
// becomes a failed test instead of a stuck one.
class VirtualTime {
 public:
  explicit VirtualTime(std::shared_ptr<ManualClock> clock, std::chrono::milliseconds realBound = std::chrono::seconds(30));

  void watch(const std::shared_ptr<SimulatedChannel>& channel);
  // Watches the device and its channel.
  void watch(const std::shared_ptr<SimulatedVeloDevice>& device);
  // Watches an object by its own at-rest test, for objects whose channels change as they go,
  // such as a keyboard that is plugged again. activity, when given, counts what the object
  // received and must change with every request it takes: without it, a call that exchanges
  // with the object while another thread waits on the clock may find the clock moved on between
  // two exchanges. Both are called from the driving thread while run() drives.
  //   vt.watch([k] { return k->idle(); }, [k] { return k->requestCount(); });
  void watch(std::function<bool()> idle, std::function<std::uint64_t()> activity = {});

  // Runs call on a worker thread, drives the clock until it returns, and returns its result. An
  // exception of the call is rethrown here. Test assertions belong outside the call.
  template <class Call>
  auto run(Call&& call) -> std::invoke_result_t<Call&> {
    using Result = std::invoke_result_t<Call&>;
    if constexpr (std::is_void_v<Result>) {
      drive([&] { call(); });
    } else {
      std::optional<Result> result;
      drive([&] { result.emplace(call()); });
      return std::move(*result);
    }
  }

 private:
  void drive(const std::function<void()>& call);
  // Everything watched is at rest and some thread waits for a deadline still to come.
  bool quiet() const;
  // Changes whenever a thread starts or stops waiting or a device receives a request.
  std::uint64_t activity() const;
  [[noreturn]] void reportHang() const;

  const std::shared_ptr<ManualClock> clock_;
  const std::chrono::milliseconds realBound_;
  std::vector<std::weak_ptr<SimulatedChannel>> channels_;
  std::vector<std::weak_ptr<SimulatedVeloDevice>> devices_;
  struct Watched {
    std::function<bool()> idle;
    std::function<std::uint64_t()> activity;
  };
  std::vector<Watched> watched_;
};

}  // namespace sim
