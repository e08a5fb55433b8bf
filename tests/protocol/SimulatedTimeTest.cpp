#include "sim/VirtualTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "sim/ManualClock.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedVeloDevice.h"
#include "tests/protocol/SimulatedHost.h"

namespace {

using devio::Bytes;
using std::chrono::milliseconds;
using sim::VeloFault;

constexpr milliseconds RealBound(30000);

long long virtualMs(const sim::ManualClock& clock) {
  return std::chrono::duration_cast<milliseconds>(clock.now().time_since_epoch()).count();
}

// A thread that waits on the clock until it is told to stop or the deadline comes.
class ClockWaiter {
 public:
  ClockWaiter(std::shared_ptr<sim::ManualClock> clock, milliseconds wait) : clock_(std::move(clock)) {
    clock_->attach(mutex_, cv_);
    const auto deadline = clock_->now() + wait;
    thread_ = std::thread([this, deadline] {
      std::unique_lock lock(mutex_);
      stopped_ = clock_->waitUntil(lock, cv_, deadline, [this] { return stop_; });
    });
  }
  ~ClockWaiter() {
    stop();
    clock_->detach(mutex_, cv_);
  }
  // Waits for the thread to end and answers whether it was stopped rather than timed out.
  bool join() {
    if (thread_.joinable()) thread_.join();
    return stopped_;
  }
  bool stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      cv_.notify_all();
    }
    return join();
  }

 private:
  const std::shared_ptr<sim::ManualClock> clock_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stop_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

TEST(ManualClockTest, KnowsItsWaitersAndMovesToTheNextDeadline) {
  const auto clock = std::make_shared<sim::ManualClock>();
  EXPECT_FALSE(clock->nextDeadline());
  EXPECT_FALSE(clock->advanceToNextDeadline());
  ClockWaiter longer(clock, milliseconds(5000));
  ClockWaiter shorter(clock, milliseconds(3000));
  ASSERT_TRUE(clock->waitForWaiters(2, RealBound));
  EXPECT_EQ(clock->waiting(), 2);
  EXPECT_EQ(clock->nextDeadline(), clock->now() + milliseconds(3000));

  ASSERT_TRUE(clock->advanceToNextDeadline());
  EXPECT_EQ(virtualMs(*clock), 3000);
  EXPECT_FALSE(shorter.join());  // timed out
  EXPECT_EQ(clock->waiting(), 1);
  EXPECT_TRUE(longer.stop());
  EXPECT_EQ(clock->waiting(), 0);
  EXPECT_FALSE(clock->advanceToNextDeadline());
  EXPECT_EQ(virtualMs(*clock), 3000);
}

TEST(ManualClockTest, ScheduledActionsRunWhenTheClockGetsThere) {
  const auto clock = std::make_shared<sim::ManualClock>();
  std::vector<int> ran;
  clock->at(clock->now() + milliseconds(700), [&] { ran.push_back(700); });
  clock->at(clock->now() + milliseconds(200), [&] { ran.push_back(200); });
  clock->at(clock->now(), [&] { ran.push_back(0); });  // due already: runs at once
  EXPECT_EQ(ran, std::vector<int>{0});
  EXPECT_EQ(clock->nextDeadline(), clock->now() + milliseconds(200));
  ASSERT_TRUE(clock->advanceToNextDeadline());
  EXPECT_EQ(virtualMs(*clock), 200);
  clock->advanceMs(1000);
  EXPECT_EQ(ran, (std::vector<int>{0, 200, 700}));
  EXPECT_FALSE(clock->nextDeadline());
}

// Blocks the read thread inside its handler of the first report until released.
class BlockingReader final : public devio::Subscriber<devio::IHardwareDevice::Read> {
 public:
  void onRead(Bytes, bool, unsigned, unsigned) override {
    if (std::exchange(first_, false)) {
      entered_.set_value();
      release_.get_future().wait();
    }
  }
  std::promise<void> entered_;
  std::promise<void> release_;

 private:
  bool first_ = true;  // read thread only
};

TEST(SimulatedChannelIdleTest, ABusyReadThreadOrAQueuedReportIsNotIdle) {
  const auto bus = sim::SimulatedBus::create();
  const auto channel = sim::SimulatedChannel::create();
  bus->plug(channel);
  channel->deliver({0x10});
  EXPECT_TRUE(channel->idle());  // nobody reads: nothing is on its way

  BlockingReader reader;
  ASSERT_TRUE(reader.subscribe(std::shared_ptr<devio::IHardwareDevice>(channel), devio::Direct));
  reader.entered_.get_future().wait();
  EXPECT_FALSE(channel->idle());
  channel->deliver({0x11});
  reader.release_.set_value();
  reader.unsubscribe(std::shared_ptr<devio::IHardwareDevice>(channel));
  EXPECT_TRUE(channel->idle());
}

sim::SimulatedVeloDevice::Config withClock(std::shared_ptr<sim::ManualClock> clock) {
  sim::SimulatedVeloDevice::Config config;
  config.clock = std::move(clock);
  return config;
}

// A device behind a channel and a host whose exchanges wait on a manual clock.
class VirtualTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus->plug(channel);
    time.watch(device);
  }

  std::optional<Bytes> exchange(int attempts) {
    return time.run([&] { return host.exchange(Ping, milliseconds(3000), attempts); });
  }

  const Bytes Ping{0x10, 0xFF, 0x00, 0x1F, 0x00, 0x00, 0x5A};
  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedChannel> channel = sim::SimulatedChannel::create();
  std::shared_ptr<sim::SimulatedVeloDevice> device = sim::SimulatedVeloDevice::create(channel, withClock(clock));
  testsupport::SimulatedHost host{channel, clock};
  sim::VirtualTime time{clock};
};

TEST_F(VirtualTimeTest, AnUnansweredRequestTimesOutAfterItsVirtualTimeout) {
  device->inject(VeloFault::noAnswer());
  EXPECT_FALSE(exchange(1));
  EXPECT_EQ(virtualMs(*clock), 3000);
}

TEST_F(VirtualTimeTest, TenSilentAttemptsCostThirtyVirtualSeconds) {
  device->inject(VeloFault::noAnswer().times(10));
  EXPECT_TRUE(exchange(11));
  EXPECT_EQ(virtualMs(*clock), 30000);
  EXPECT_EQ(device->requestCount(), 11u);
}

TEST_F(VirtualTimeTest, AnAnsweredRequestTakesNoVirtualTime) {
  EXPECT_TRUE(exchange(1));
  EXPECT_EQ(virtualMs(*clock), 0);
}

TEST_F(VirtualTimeTest, ALateAnswerArrivesAtItsVirtualTime) {
  device->inject(VeloFault::late(milliseconds(500)));
  EXPECT_TRUE(exchange(1));
  EXPECT_EQ(virtualMs(*clock), 500);
}

TEST_F(VirtualTimeTest, AnAnswerLaterThanTheTimeoutCompletesTheRetry) {
  device->inject(VeloFault::late(milliseconds(3500)));
  device->inject(VeloFault::noAnswer());
  EXPECT_TRUE(exchange(2));
  EXPECT_EQ(virtualMs(*clock), 3500);
  EXPECT_EQ(device->requestCount(), 2u);
}

TEST_F(VirtualTimeTest, AHeldAnswerDoesNotHoldTimeBack) {
  device->inject(VeloFault::held());
  EXPECT_FALSE(exchange(1));
  EXPECT_EQ(virtualMs(*clock), 3000);
  EXPECT_EQ(device->releaseHeld(), 1u);
}

// An object watched by its own test, busy for its first 20 looks: by saying so, or by taking a
// request between every two looks.
TEST_F(VirtualTimeTest, AWatchedObjectHoldsTheClockWhileBusyOrTakingRequests) {
  for (const bool byActivity : {false, true}) {
    SCOPED_TRACE(byActivity ? "taking requests" : "busy");
    const long long from = virtualMs(*clock);
    int looks = 0;  // the driving thread alone looks
    long long latestWhileBusy = -1;
    const auto busy = [&] {
      if (++looks > 20) return false;
      latestWhileBusy = virtualMs(*clock) - from;
      return true;
    };
    sim::VirtualTime watching(clock);
    if (byActivity) {
      watching.watch([] { return true; }, [&] { return std::uint64_t(busy() ? looks : 0); });
    } else {
      watching.watch([&] { return !busy(); });
    }
    device->inject(VeloFault::noAnswer());
    EXPECT_FALSE(watching.run([&] { return host.exchange(Ping, milliseconds(3000)); }));
    EXPECT_GT(looks, 20);
    EXPECT_EQ(latestWhileBusy, 0);
    EXPECT_EQ(virtualMs(*clock) - from, 3000);
  }
}

TEST_F(VirtualTimeTest, ReturnsTheResultOrRethrowsTheExceptionOfTheCall) {
  EXPECT_EQ(time.run([] { return 42; }), 42);
  EXPECT_THROW(time.run([] { throw std::runtime_error("call failed"); }), std::runtime_error);
}

TEST(VirtualTimeDeathTest, ACallThatNeverEndsFailsAfterTheRealBound) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        sim::VirtualTime time(std::make_shared<sim::ManualClock>(), milliseconds(100));
        std::promise<void> never;
        time.run([&] { never.get_future().wait(); });
      },
      "VirtualTime: the call has not ended");
}

}  // namespace
