#include "devio/runtime/CDevio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Subscriber.h"
#include "devio/runtime/Timer.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"

namespace {

using devio::IDeviceManager;
using devio::LastError;
using testsupport::RunLoopPump;

using FacadeTest = testsupport::FacadeFixture;

// Records the active-state changes it is told about.
class ActiveLog final : public devio::Subscriber<IDeviceManager::ActiveChanged> {
 public:
  void onActiveChanged(bool active) override { seen.push_back(active); }
  std::vector<bool> seen;
};

TEST_F(FacadeTest, ConfigurationDefaultsNeedAManagerButNoBus) {
  const bool expected[] = {false, false, true, false, false, false, false, true};
  for (int item = 0; item < IDeviceManager::ConfigItemCount; ++item) {
    bool value = !expected[item];
    EXPECT_TRUE(facade.config_get(item, &value)) << item;
    EXPECT_EQ(value, expected[item]) << item;
    value = !expected[item];
    EXPECT_TRUE(facade.config_default(item, &value)) << item;
    EXPECT_EQ(value, expected[item]) << item;
  }
  EXPECT_TRUE(facade.config_get(0, nullptr));
  EXPECT_EQ(topBusRequests, 0);
}

TEST_F(FacadeTest, InvalidConfigurationItemsAreRefused) {
  for (int item : {8, 100, -1}) {
    bool value = true;
    LastError::set(devio::Success);
    EXPECT_FALSE(facade.config_get(item, &value)) << item;
    EXPECT_EQ(LastError::get().code, devio::InvalidConfigItem);
    EXPECT_TRUE(value);
    LastError::set(devio::Success);
    EXPECT_FALSE(facade.config_default(item, &value)) << item;
    EXPECT_EQ(LastError::get().code, devio::InvalidConfigItem);
    LastError::set(devio::Success);
    EXPECT_FALSE(facade.config_set(item, false)) << item;
    EXPECT_EQ(LastError::get().code, devio::InvalidConfigItem);
  }
}

TEST_F(FacadeTest, ConfigSetStoresTheValue) {
  bool value = false;
  EXPECT_TRUE(facade.config_set(IDeviceManager::wired_active, true));
  EXPECT_TRUE(facade.config_get(IDeviceManager::wired_active, &value));
  EXPECT_TRUE(value);
  EXPECT_TRUE(facade.config_default(IDeviceManager::wired_active, &value));
  EXPECT_FALSE(value);
  EXPECT_EQ(topBusRequests, 0);  // before the start only the item changes
}

TEST_F(FacadeTest, SoftwareIdIsPickedOnceAndKeptToFourBits) {
  const int first = facade.swid();
  EXPECT_GE(first, 10);
  EXPECT_LE(first, 14);
  EXPECT_EQ(facade.swid(), first);
  facade.swid(0x23);
  EXPECT_EQ(facade.swid(), 3);
  facade.swid(0);
  const int picked = facade.swid();
  EXPECT_GE(picked, 10);
  EXPECT_LE(picked, 14);
}

TEST_F(FacadeTest, SetActiveAnnouncesChangesAndEveryActivation) {
  ActiveLog log;
  ASSERT_TRUE(log.subscribe(facade.getimpl(), devio::Direct));
  EXPECT_TRUE(facade.is_active());
  facade.set_active(true);
  facade.set_active(true);
  facade.set_active(false);
  facade.set_active(false);
  EXPECT_FALSE(facade.is_active());
  EXPECT_EQ(log.seen, (std::vector<bool>{true, true, false}));
}

// Entries queued straight into the facade, each recording its name when it runs.
class RunLoopQueueTest : public FacadeTest {
 protected:
  void enqueue(const std::string& name, void* subscriber = nullptr, void* producer = nullptr) {
    facade.enqueue_event_for_runloop([this, name] { ran.push_back(name); }, subscriber, producer, name);
  }
  std::vector<std::string> ran;
  int keyA = 0, keyB = 0, keyC = 0;  // addresses used as keys
};

TEST_F(RunLoopQueueTest, EachDispatchRunsTheOldestEntryAndSignalsWhileSomeRemain) {
  RunLoopPump pump;
  enqueue("a");
  enqueue("b");
  enqueue("c");
  EXPECT_EQ(pump.pending(), 3);
  facade.call_event_from_runloop();
  EXPECT_EQ(ran, (std::vector<std::string>{"a"}));
  EXPECT_EQ(pump.pending(), 4);
  facade.call_event_from_runloop();
  facade.call_event_from_runloop();
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(pump.pending(), 5);  // the last dispatch left nothing to signal
  facade.call_event_from_runloop();
  EXPECT_EQ(ran.size(), 3u);
}

TEST_F(RunLoopQueueTest, RemoveDiscardsEntriesWithBothKeysOrEverything) {
  RunLoopPump pump;
  enqueue("a", &keyA, &keyC);
  enqueue("b", &keyB, &keyC);
  enqueue("c", &keyA, &keyB);
  enqueue("d", &keyA, &keyC);
  facade.remove_runloop_events(&keyA, &keyC);
  pump.drain();
  EXPECT_EQ(ran, (std::vector<std::string>{"b", "c"}));

  enqueue("e");
  enqueue("f");
  facade.remove_runloop_events(nullptr, nullptr);
  pump.drain();
  EXPECT_EQ(ran.size(), 2u);
}

TEST_F(RunLoopQueueTest, ALateSubscriberIsSignalledOncePerQueuedEntry) {
  facade.getimpl();
  enqueue("a");
  enqueue("b");
  RunLoopPump pump;
  EXPECT_EQ(pump.pending(), 2);
  pump.drain();
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
}

TEST_F(RunLoopQueueTest, ResetDiscardsQueuedEntriesAndTheNextUseMakesANewManager) {
  const auto first = facade.getimpl();
  auto token = std::make_shared<int>(0);
  for (int i = 0; i < 3; ++i) facade.enqueue_event_for_runloop([this, token] { ran.push_back("x"); }, nullptr, nullptr, "x");
  EXPECT_EQ(token.use_count(), 4);
  facade.reset();
  EXPECT_EQ(token.use_count(), 1);
  const auto second = facade.getimpl();
  EXPECT_NE(first, second);
  facade.call_event_from_runloop();
  EXPECT_TRUE(ran.empty());
}

TEST_F(RunLoopQueueTest, WithoutAManagerCallsAreDropped) {
  auto token = std::make_shared<int>(0);
  facade.enqueue_event_for_runloop([this, token] { ran.push_back("x"); }, nullptr, nullptr, "x");
  EXPECT_EQ(token.use_count(), 1);
  facade.call_event_from_runloop();
  facade.getimpl();
  facade.call_event_from_runloop();
  EXPECT_TRUE(ran.empty());
}

TEST_F(FacadeTest, RunLoopEventRefusesRunLoopDelivery) {
  devio::Subscriber<IDeviceManager::RunLoopEvent> subscriber;
  EXPECT_FALSE(subscriber.subscribe(facade.getimpl(), devio::RunLoop));
  EXPECT_EQ(LastError::get().code, devio::InvalidValue);
  EXPECT_TRUE(subscriber.subscribe(facade.getimpl(), devio::Direct));
}

TEST_F(FacadeTest, AQueuedCallForADestroyedSubscriberNeverRuns) {
  RunLoopPump pump;
  auto gone = std::make_unique<ActiveLog>();
  ActiveLog kept;
  ASSERT_TRUE(gone->subscribe(facade.getimpl(), devio::RunLoop));
  ASSERT_TRUE(kept.subscribe(facade.getimpl(), devio::RunLoop));
  facade.set_active(true);
  gone.reset();
  pump.drain();
  EXPECT_EQ(kept.seen, std::vector<bool>{true});
}

// Each one, when told, destroys the other: whichever runs first, the walk goes on safely and
// the destroyed one is not called.
class Rival final : public devio::Subscriber<IDeviceManager::ActiveChanged> {
 public:
  void onActiveChanged(bool) override {
    ++calls;
    if (other) other->reset();
  }
  std::unique_ptr<Rival>* other = nullptr;
  int& calls;
  explicit Rival(int& counter) : calls(counter) {}
};

TEST_F(FacadeTest, ADirectSubscriberRemovedDuringAProductionIsSkipped) {
  int calls = 0;
  auto first = std::make_unique<Rival>(calls);
  auto second = std::make_unique<Rival>(calls);
  first->other = &second;
  second->other = &first;
  ASSERT_TRUE(first->subscribe(facade.getimpl(), devio::Direct));
  ASSERT_TRUE(second->subscribe(facade.getimpl(), devio::Direct));
  facade.set_active(true);
  EXPECT_EQ(calls, 1);
  EXPECT_NE(first == nullptr, second == nullptr);
}

// Counts the errors it is told of.
class ErrorCount final : public devio::Subscriber<IDeviceManager::UnreportedError> {
 public:
  void onUnreportedError(const char*, devio::ErrorCode, const char*, unsigned long) override { ++count; }
  int count = 0;
};

// A direct RunLoopEvent subscriber that runs an action on the first signal, on the thread that
// queued the call: there the producer is still walking its run-loop subscribers.
class FirstSignal final : public devio::Subscriber<IDeviceManager::RunLoopEvent> {
 public:
  void onRunLoopEvent() override {
    if (auto run = std::exchange(action, nullptr)) run();
  }
  std::function<void()> action;
};

struct DropCase {
  const char* name;
  bool destroy;     // destroy the subscriber rather than unsubscribe it
  bool justQueued;  // the subscriber whose call was just queued, or the one after it
};

TEST_F(FacadeTest, TheRunLoopHalfOfAProductionSurvivesASignalHandlerDroppingASubscriber) {
  const DropCase cases[] = {{"unsubscribe the queued one", false, true},
                            {"destroy the queued one", true, true},
                            {"unsubscribe the next one", false, false},
                            {"destroy the next one", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    facade.reset();
    const auto manager = facade.getimpl();
    RunLoopPump pump;
    std::unique_ptr<ErrorCount> subscribers[] = {std::make_unique<ErrorCount>(), std::make_unique<ErrorCount>()};
    // The walk goes by address; subscribed from the highest down, the step after a dropped
    // subscriber cannot lean on what its subscription left in the set.
    std::sort(std::rbegin(subscribers), std::rend(subscribers));
    for (auto& subscriber : subscribers) ASSERT_TRUE(subscriber->subscribe(manager, devio::RunLoop));
    std::reverse(std::begin(subscribers), std::end(subscribers));
    auto& dropped = subscribers[c.justQueued ? 0 : 1];
    const ErrorCount* kept = subscribers[c.justQueued ? 1 : 0].get();
    FirstSignal signal;
    ASSERT_TRUE(signal.subscribe(manager, devio::Direct));
    signal.action = [&] {
      if (c.destroy) {
        dropped.reset();
      } else {
        dropped->unsubscribe(manager);
      }
    };
    LastError::set(devio::GeneralError);
    facade.report_unreported_error("test");
    pump.drain();
    EXPECT_EQ(kept->count, 1);
    if (dropped) {
      EXPECT_EQ(dropped->count, 0);  // its queued call went with it
    }
  }
}

// Counts the expiries it is told of into a counter that outlives it.
class ExpiryCount final : public devio::Subscriber<devio::ITimer::TimerEvent> {
 public:
  explicit ExpiryCount(int& count) : count_(count) {}
  void onTimerEvent(int) override { ++count_; }

 private:
  int& count_;
};

// A producer outside the manager whose events reach run-loop subscribers through its queue.
class IBell {
 public:
  class Ring {
   public:
    virtual void onRing() {}
    virtual ~Ring() = default;
  };
  virtual ~IBell() = default;
};

class Bell final : public IBell, public devio::Producer<IBell::Ring> {
 public:
  void ring() { produce([](Ring* s) { s->onRing(); }, "Bell::Ring::onRing"); }
};

// Counts rings into a counter that outlives it.
class RingCount final : public devio::Subscriber<IBell::Ring> {
 public:
  explicit RingCount(int& count) : count_(count) {}
  void onRing() override { ++count_; }

 private:
  int& count_;
};

TEST_F(FacadeTest, ASubscriberOutlivingItsProducerDiscardsTheCallsQueuedForIt) {
  RunLoopPump pump;
  int goneCalls = 0, keptCalls = 0;
  auto deadBell = std::make_shared<Bell>();
  auto liveBell = std::make_shared<Bell>();
  auto gone = std::make_unique<RingCount>(goneCalls);
  RingCount kept(keptCalls);
  ASSERT_TRUE(gone->subscribe(std::shared_ptr<IBell>(deadBell), devio::RunLoop));
  ASSERT_TRUE(gone->subscribe(std::shared_ptr<IBell>(liveBell), devio::RunLoop));
  ASSERT_TRUE(kept.subscribe(std::shared_ptr<IBell>(deadBell), devio::RunLoop));
  deadBell->ring();
  liveBell->ring();
  ASSERT_EQ(pump.pending(), 3);
  deadBell.reset();
  gone.reset();  // its producer is gone, yet the call queued by it must go too
  pump.drain();
  EXPECT_EQ(goneCalls, 0);
  EXPECT_EQ(keptCalls, 1);
}

// The top bus: it records the thread the manager destroys it on.
class ProbeBus final : public devio::IHardwareBus, public devio::Producer<devio::IHardwareBus::PlugUnplug> {
 public:
  explicit ProbeBus(std::promise<std::thread::id>& destroyedOn) : destroyedOn_(destroyedOn) {}
  ~ProbeBus() override { destroyedOn_.set_value(std::this_thread::get_id()); }
  std::vector<std::shared_ptr<devio::IHardwareDevice>> devices() override {
    LastError::set(devio::Success);
    return {};
  }

 private:
  std::promise<std::thread::id>& destroyedOn_;
};

// Holds the thread that signals the run loop inside its signal until the test opens the gate.
class SignalGate final : public devio::Subscriber<IDeviceManager::RunLoopEvent> {
 public:
  ~SignalGate() override { unsubscribe_all(); }
  void onRunLoopEvent() override {
    std::unique_lock lock(mutex_);
    if (open_) return;
    signaller_ = std::this_thread::get_id();
    inside_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  // The thread inside, once one is.
  std::thread::id waitInside() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(30), [this] { return inside_; });
    return signaller_;
  }
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool inside_ = false;
  bool open_ = false;
  std::thread::id signaller_;
};

// A timer's worker queues an expiry and, inside the signal, holds the manager while the facade
// drops it: the worker's reference is the last one, yet the manager must not die on the worker
// (its destruction joins timer workers and read threads).
TEST_F(FacadeTest, AResetRacingAProductionNeverDestroysTheManagerOnTheWorker) {
  std::promise<std::thread::id> destroyedOn;
  auto probed = hooks();
  probed.topBus = [&destroyedOn](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<devio::IHardwareBus> {
    return std::make_shared<ProbeBus>(destroyedOn);
  };
  facade.install_hooks(probed);
  EXPECT_TRUE(facade.devices().empty());  // the buses run: the manager holds the probe
  int expiries = 0;
  ExpiryCount expiryCount(expiries);
  auto timer = devio::Timer::create(3, clock);
  ASSERT_TRUE(expiryCount.subscribe(std::shared_ptr<devio::ITimer>(timer), devio::RunLoop));
  SignalGate gate;
  ASSERT_TRUE(gate.subscribe(facade.getimpl(), devio::Direct));
  timer->restart(0);
  const auto worker = gate.waitInside();
  ASSERT_NE(worker, std::thread::id());
  facade.reset();
  gate.open();
  auto destroyed = destroyedOn.get_future();
  ASSERT_EQ(destroyed.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_NE(destroyed.get(), worker);
  timer->stop();
  facade.reset();  // waits for the handed-off destruction
  EXPECT_EQ(expiries, 0);  // queued for a manager that is gone
}

TEST_F(FacadeTest, OperatorSharedPtrHandsOutTheManager) {
  const std::shared_ptr<IDeviceManager> manager = facade;
  EXPECT_EQ(manager, facade.getimpl());
}

// A handler object that is not a Subscriber.
class PlainArrivals final : public IDeviceManager::ArrivalRemoval {
 public:
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override { pids.push_back(device->pid()); }
  std::vector<int> pids;
};

TEST_F(FacadeTest, ManualSubscriptionStartsTheBusesAndEndsWithUnsubscribe) {
  RunLoopPump pump;
  PlainArrivals arrivals;
  facade.config_set(IDeviceManager::wired_active, true);
  ASSERT_TRUE(facade.manual_subscribe(&arrivals, devio::RunLoop));
  EXPECT_EQ(topBusRequests, 1);
  bus->plug(sim::SimulatedChannel::create());
  pump.drain();
  EXPECT_EQ(arrivals.pids, std::vector<int>{0x6E21});

  bus->plug(sim::SimulatedChannel::create());  // queued for it, then unsubscribed: never delivered
  facade.manual_unsubscribe(&arrivals);
  pump.drain();
  EXPECT_EQ(arrivals.pids.size(), 1u);
}

class Errors final : public devio::Subscriber<IDeviceManager::UnreportedError> {
 public:
  void onUnreportedError(const char* msg, devio::ErrorCode code, const char* message, unsigned long detail) override {
    seen.push_back({msg, code, message ? message : "", detail});
  }
  struct Seen {
    std::string msg;
    devio::ErrorCode code;
    std::string message;
    unsigned long detail;
  };
  std::vector<Seen> seen;
};

TEST_F(FacadeTest, UnreportedErrorsCarryTheThreadsLastErrorAndACopyOfTheText) {
  RunLoopPump pump;
  Errors errors;
  ASSERT_TRUE(errors.subscribe(facade.getimpl(), devio::RunLoop));

  LastError::set(devio::Success);
  facade.report_unreported_error("nothing pending");
  char text[32];
  std::strcpy(text, "Device::initDevice");
  LastError::set(devio::NotConnected, 42, "link down");
  facade.report_unreported_error(text);
  std::strcpy(text, "overwritten");
  pump.drain();

  ASSERT_EQ(errors.seen.size(), 1u);
  EXPECT_EQ(errors.seen[0].msg, "Device::initDevice");
  EXPECT_EQ(errors.seen[0].code, devio::NotConnected);
  EXPECT_EQ(errors.seen[0].message, "link down");
  EXPECT_EQ(errors.seen[0].detail, 42u);
  EXPECT_EQ(LastError::get().code, devio::NotConnected);  // reporting leaves the record alone
}

// Shutdown is for good, so it runs in a process of its own.
TEST(FacadeDeathTest, AfterShutdownNoManagerIsMade) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        auto& facade = devio::theDevio();
        facade.getimpl();
        facade.shutdown();
        LastError::set(devio::Success);
        const bool empty = facade.devices().empty();
        const bool unavailable = LastError::get().code == devio::Unavailable;
        const bool swidFallback = facade.swid() == 15;
        std::_Exit(empty && unavailable && swidFallback && !facade.getimpl() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A manager still held at exit: the process ends with code 0 instead of joining its threads.
TEST(FacadeDeathTest, ExitWhileAManagerExistsEndsWithCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        devio::theDevio().getimpl();
        std::exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
