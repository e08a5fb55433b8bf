#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace devio {
namespace {

// A small event interface and the interface that declares it, as the library's events are built.
class IThing {
 public:
  class Event {
   public:
    virtual void onEvent(int) {}
    virtual ~Event() = default;
  };
  virtual ~IThing() = default;
};

class Thing : public IThing, public Producer<IThing::Event> {
 public:
  void fire(int value) {
    produce([value](IThing::Event* s) { s->onEvent(value); }, "Thing::Event::onEvent");
  }

  bool refuse = false;
  std::vector<std::string> hooks;

 protected:
  bool on_subscribe(IThing::Event*) override {
    hooks.push_back("subscribe");
    return !refuse;
  }
  void on_subscription_added(IThing::Event*, bool direct) override {
    hooks.push_back(direct ? "added direct" : "added runloop");
  }
  void on_unsubscribe(IThing::Event*) override { hooks.push_back("unsubscribe"); }
};

// Records the order in which subscribers are called; optionally runs an action inside the handler.
class Listener : public Subscriber<IThing::Event> {
 public:
  explicit Listener(std::vector<Listener*>* log) : log_(log) {}
  void onEvent(int) override {
    log_->push_back(this);
    if (action) action();
  }
  std::function<void()> action;

 private:
  std::vector<Listener*>* log_;
};

class NotAThing : public IThing {};

TEST(Producer, DeliversDirectlyInAddressOrder) {
  auto thing = std::make_shared<Thing>();
  std::vector<Listener*> calls;
  auto a = std::make_unique<Listener>(&calls);
  auto b = std::make_unique<Listener>(&calls);
  Listener* high = std::max(a.get(), b.get());
  Listener* low = std::min(a.get(), b.get());
  ASSERT_TRUE(high->subscribe(std::shared_ptr<IThing>(thing), Direct));
  ASSERT_TRUE(low->subscribe(std::shared_ptr<IThing>(thing), Direct));
  thing->fire(1);
  EXPECT_EQ(calls, (std::vector<Listener*>{low, high}));
  EXPECT_EQ(thing->subscriber_count(), 2u);
}

TEST(Producer, SecondSubscribeChangesNothing) {
  auto thing = std::make_shared<Thing>();
  std::vector<Listener*> calls;
  Listener listener(&calls);
  EXPECT_TRUE(listener.subscribe(std::shared_ptr<IThing>(thing), Direct));
  EXPECT_TRUE(listener.subscribe(std::shared_ptr<IThing>(thing), RunLoop));
  EXPECT_EQ(thing->hooks, (std::vector<std::string>{"subscribe", "added direct"}));
  thing->fire(1);
  EXPECT_EQ(calls.size(), 1u);
  listener.unsubscribe(std::shared_ptr<IThing>(thing));
  EXPECT_EQ(thing->hooks.back(), "unsubscribe");
  EXPECT_EQ(thing->subscriber_count(), 0u);
}

TEST(Producer, RefusedSubscriptionRegistersNothing) {
  auto thing = std::make_shared<Thing>();
  thing->refuse = true;
  std::vector<Listener*> calls;
  Listener listener(&calls);
  EXPECT_FALSE(listener.subscribe(std::shared_ptr<IThing>(thing), Direct));
  thing->fire(1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(thing->subscriber_count(), 0u);
}

TEST(Producer, UnknownDeliveryIsAcceptedButRegistersNothing) {
  auto thing = std::make_shared<Thing>();
  std::vector<Listener*> calls;
  Listener listener(&calls);
  EXPECT_TRUE(listener.subscribe(std::shared_ptr<IThing>(thing), 2));
  thing->fire(1);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(thing->hooks.empty());
  listener.unsubscribe(std::shared_ptr<IThing>(thing));
  EXPECT_TRUE(thing->hooks.empty());
}

TEST(Producer, SubscribingToWhatIsNotAProducerFails) {
  std::vector<Listener*> calls;
  Listener listener(&calls);
  LastError::set(Success);
  EXPECT_FALSE(listener.subscribe(std::shared_ptr<IThing>(std::make_shared<NotAThing>()), Direct));
  EXPECT_EQ(LastError::get().code, SubscribeCastFailed);
  EXPECT_STREQ(LastError::get().message, "dynamic pointer cast in subscribe failed");
  EXPECT_FALSE(listener.subscribe(std::shared_ptr<IThing>(), Direct));
  EXPECT_EQ(LastError::get().code, SubscribeCastFailed);
}

TEST(Producer, SubscriberOutlivingItsProducerCallsNothing) {
  std::vector<Listener*> calls;
  auto listener = std::make_unique<Listener>(&calls);
  {
    auto thing = std::make_shared<Thing>();
    ASSERT_TRUE(listener->subscribe(std::shared_ptr<IThing>(thing), Direct));
  }
  listener.reset();  // must not touch the dead producer
  SUCCEED();
}

TEST(Producer, DestroyedSubscriberLeavesItsProducer) {
  auto thing = std::make_shared<Thing>();
  std::vector<Listener*> calls;
  auto listener = std::make_unique<Listener>(&calls);
  ASSERT_TRUE(listener->subscribe(std::shared_ptr<IThing>(thing), Direct));
  listener.reset();
  EXPECT_EQ(thing->subscriber_count(), 0u);
  thing->fire(1);
  EXPECT_TRUE(calls.empty());
}

// Handlers that unsubscribe themselves, destroy a later subscriber or subscribe someone new must
// not break the producer's walk.
TEST(Producer, WalkSurvivesChangesFromInsideAHandler) {
  auto thing = std::make_shared<Thing>();
  std::shared_ptr<IThing> owner = thing;
  std::vector<Listener*> calls;
  std::vector<std::unique_ptr<Listener>> listeners;
  for (int i = 0; i < 3; ++i) listeners.push_back(std::make_unique<Listener>(&calls));
  std::sort(listeners.begin(), listeners.end());
  for (auto& l : listeners) ASSERT_TRUE(l->subscribe(owner, Direct));

  Listener* first = listeners[0].get();
  Listener* second = listeners[1].get();
  Listener* third = listeners[2].get();
  first->action = [&] {
    first->unsubscribe(owner);
    listeners[2].reset();  // destroys the last subscriber before its turn
  };
  thing->fire(1);
  EXPECT_EQ(calls, (std::vector<Listener*>{first, second}));
  EXPECT_NE(third, nullptr);

  calls.clear();
  auto late = std::make_unique<Listener>(&calls);
  second->action = [&] { late->subscribe(owner, Direct); };
  thing->fire(2);
  EXPECT_EQ(calls.front(), second);
  EXPECT_EQ(thing->subscriber_count(), 2u);
}

}  // namespace
}  // namespace devio
