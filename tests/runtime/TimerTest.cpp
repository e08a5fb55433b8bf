#include "devio/runtime/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>

#include "devio/runtime/Subscriber.h"
#include "sim/ManualClock.h"
#include "tests/support/WaitUntilReleased.h"

namespace {

using devio::ITimer;
using devio::Timer;

// Counts expiries, delivered directly on the worker thread.
class Expiries final : public devio::Subscriber<ITimer::TimerEvent> {
 public:
  void onTimerEvent(int id) override {
    std::lock_guard lock(mutex_);
    ++count_;
    lastId_ = id;
    changed_.notify_all();
  }
  // Waits for the n-th expiry, bounded by a generous real time.
  bool waitFor(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return count_ >= n; });
  }
  int count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  int lastId() {
    std::lock_guard lock(mutex_);
    return lastId_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
  int lastId_ = -1;
};

// The worker can only produce once the clock reaches the end deadline, so "no event yet" is
// certain while the clock stands before it; stop() joins the worker before counts are read.
class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(expiries.subscribe(std::shared_ptr<ITimer>(timer), devio::Direct)); }

  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  std::shared_ptr<Timer> timer = Timer::create(7, clock);
  Expiries expiries;
};

TEST_F(TimerTest, ExpiresOnceAfterThePeriodWithItsId) {
  timer->restart(2000);
  clock->advanceMs(1999);
  EXPECT_EQ(expiries.count(), 0);
  clock->advanceMs(1);
  ASSERT_TRUE(expiries.waitFor(1));
  EXPECT_EQ(expiries.lastId(), 7);
  clock->advanceMs(10000);
  timer->stop();
  EXPECT_EQ(expiries.count(), 1);
}

TEST_F(TimerTest, AnOddPeriodExpiresAtTwiceItsHalf) {
  timer->restart(2001);
  clock->advanceMs(2000);
  ASSERT_TRUE(expiries.waitFor(1));
}

TEST_F(TimerTest, RestartEndsTheFirstArmingWithoutEvent) {
  timer->restart(2000);
  clock->advanceMs(1000);
  timer->restart(2000);
  clock->advanceMs(1999);
  EXPECT_EQ(expiries.count(), 0);
  clock->advanceMs(1);
  ASSERT_TRUE(expiries.waitFor(1));
  timer->stop();
  EXPECT_EQ(expiries.count(), 1);
}

TEST_F(TimerTest, StartIfIdleLeavesTheFirstHalfAlone) {
  EXPECT_TRUE(timer->start_if_idle(10000));
  clock->advanceMs(4000);
  EXPECT_FALSE(timer->start_if_idle(10000));
  clock->advanceMs(5999);
  EXPECT_EQ(expiries.count(), 0);
  clock->advanceMs(1);
  ASSERT_TRUE(expiries.waitFor(1));
  timer->stop();
  EXPECT_EQ(expiries.count(), 1);
}

TEST_F(TimerTest, StartIfIdleRearmsInTheSecondHalf) {
  EXPECT_TRUE(timer->start_if_idle(10000));
  clock->advanceMs(6000);
  EXPECT_TRUE(timer->start_if_idle(10000));
  clock->advanceMs(9999);
  EXPECT_EQ(expiries.count(), 0);
  clock->advanceMs(1);
  ASSERT_TRUE(expiries.waitFor(1));
  timer->stop();
  EXPECT_EQ(expiries.count(), 1);
}

TEST_F(TimerTest, StartIfIdleRearmsAfterExpiry) {
  timer->restart(100);
  clock->advanceMs(100);
  ASSERT_TRUE(expiries.waitFor(1));
  EXPECT_TRUE(timer->start_if_idle(100));
  clock->advanceMs(100);
  ASSERT_TRUE(expiries.waitFor(2));
}

TEST_F(TimerTest, StopInEitherHalfPreventsTheEvent) {
  for (int elapsed : {500, 1500}) {
    timer->restart(2000);
    clock->advanceMs(elapsed);
    EXPECT_TRUE(timer->stop());
    clock->advanceMs(10000);
  }
  EXPECT_EQ(expiries.count(), 0);
}

TEST_F(TimerTest, StopWithoutArmingAnswersTrue) {
  EXPECT_TRUE(timer->stop());
  EXPECT_TRUE(timer->stop());
  EXPECT_EQ(expiries.count(), 0);
}

TEST_F(TimerTest, ShortAndNegativePeriodsExpireAtOnce) {
  int expected = 0;
  for (int ms : {1, 0, -5}) {
    timer->restart(ms);
    ASSERT_TRUE(expiries.waitFor(++expected)) << ms;
  }
}

TEST_F(TimerTest, DestroyingAnArmedTimerEndsItsWorkerWithoutEvent) {
  timer->restart(2000);
  clock->advanceMs(1500);
  ASSERT_TRUE(clock->waitForWaiters(1, std::chrono::seconds(30)));
  timer.reset();
  EXPECT_EQ(clock->waiting(), 0);  // the worker was joined
  clock->advanceMs(10000);
  EXPECT_EQ(expiries.count(), 0);
}

// Holds the only reference to its timer and drops it on the timer's worker. `dropped` orders
// that release before the test's end, where the owner itself is destroyed.
class LastOwner final : public devio::Subscriber<ITimer::TimerEvent> {
 public:
  void onTimerEvent(int) override {
    owned.reset();
    dropped.set_value();
  }
  std::shared_ptr<Timer> owned;
  std::promise<void> dropped;
};

TEST(TimerReleaseTest, ATimerReleasedOnItsOwnWorkerIsDestroyedThere) {
  auto clock = std::make_shared<sim::ManualClock>();
  LastOwner owner;
  auto timer = Timer::create(4, clock);
  const std::weak_ptr<Timer> weak = timer;
  ASSERT_TRUE(owner.subscribe(std::shared_ptr<ITimer>(timer), devio::Direct));
  timer->restart(1000);
  owner.owned = std::move(timer);  // before the worker can expire
  auto dropped = owner.dropped.get_future();
  clock->advanceMs(1000);
  ASSERT_EQ(dropped.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  // The worker lets the timer go once its production is over; nothing else holds it.
  EXPECT_TRUE(testsupport::waitUntilReleased(weak));
}

TEST(TimerSteadyClockTest, ExpiresOnTheSteadyClock) {
  Expiries expiries;
  auto timer = Timer::create(3);
  ASSERT_TRUE(expiries.subscribe(std::shared_ptr<ITimer>(timer), devio::Direct));
  timer->restart(20);
  ASSERT_TRUE(expiries.waitFor(1));
  EXPECT_EQ(expiries.lastId(), 3);
}

}  // namespace
