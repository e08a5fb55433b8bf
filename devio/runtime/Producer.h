#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "devio/runtime/Delivery.h"
#include "devio/runtime/RunLoopQueue.h"

namespace devio {

// The producing side of one event interface T. Holds raw subscriber pointers (it neither owns
// nor keeps them alive); one recursive lock guards both sets and is held for a whole production,
// so a direct handler may subscribe and unsubscribe on the same producer from its own thread.
template <class T>
class Producer {
 public:
  Producer() = default;
  Producer(const Producer&) = delete;
  Producer& operator=(const Producer&) = delete;
  virtual ~Producer() = default;

  virtual bool add_subscriber(T* subscriber, int delivery) {
    if (delivery != Direct && delivery != RunLoop) return true;
    {
      std::lock_guard lock(lock_);
      if (setFor(delivery).contains(subscriber)) return true;
    }
    if (!on_subscribe(subscriber)) return false;
    std::lock_guard lock(lock_);
    setFor(delivery).insert(subscriber);
    on_subscription_added(subscriber, delivery == Direct);
    return true;
  }

  virtual void remove_subscriber(T* subscriber) {
    if (eraseFrom(direct_, subscriber)) on_unsubscribe(subscriber);
    if (eraseFrom(runLoop_, subscriber)) {
      on_unsubscribe(subscriber);
      runloop::remove(subscriber, runLoopKey());
    }
  }

  // Direct subscribers first, on this thread, in ascending address order; then one queued call
  // per run-loop subscriber. The walk tolerates handlers that add or remove subscribers.
  virtual void produce(const std::function<void(T*)>& call, const std::string& name) {
    std::lock_guard lock(lock_);
    produce_direct(call);
    // Queuing signals RunLoopEvent, whose direct handlers run here and may drop subscribers too.
    walk(runLoop_, [&](T* subscriber) {
      runloop::enqueue([call, subscriber] { call(subscriber); }, subscriber, runLoopKey(), name);
    });
  }

  virtual std::size_t subscriber_count() {
    std::lock_guard lock(lock_);
    return direct_.size() + runLoop_.size();
  }

  // The producer's key in the run-loop queue.
  void* runLoopKey() { return &runLoop_; }

 protected:
  // The direct half of produce, for events that run-loop subscribers never receive.
  void produce_direct(const std::function<void(T*)>& call) {
    std::lock_guard lock(lock_);
    walk(direct_, call);
  }

  // Runs without the lock; false refuses the subscription.
  virtual bool on_subscribe(T*) { return true; }
  // Runs with the lock held, the subscriber already registered.
  virtual void on_subscription_added(T*, bool /*direct*/) {}
  // Runs without the lock.
  virtual void on_unsubscribe(T*) {}

 private:
  std::set<T*>& setFor(int delivery) { return delivery == Direct ? direct_ : runLoop_; }

  // Visits the set in ascending address order. Each step finds its successor afresh, so a visit
  // may add or remove subscribers (a removed one is not visited).
  static void walk(std::set<T*>& set, const std::function<void(T*)>& visit) {
    for (auto it = set.begin(); it != set.end();) {
      T* subscriber = *it;
      visit(subscriber);
      it = set.upper_bound(subscriber);
    }
  }

  bool eraseFrom(std::set<T*>& set, T* subscriber) {
    std::lock_guard lock(lock_);
    return set.erase(subscriber) > 0;
  }

  std::set<T*> direct_;
  std::set<T*> runLoop_;
  std::recursive_mutex lock_;
};

}  // namespace devio
