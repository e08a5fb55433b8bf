#pragma once

#include <map>
#include <memory>
#include <string>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Producer.h"

namespace devio {

// The subscribing side of event interface T. Holds its producers weakly, so it never keeps one
// alive; not thread-safe in itself (one subscriber's calls must not run on two threads at once).
//
// This destructor leaves the producers only after the derived class is gone, so a handler that
// runs on another thread meanwhile (a direct subscription to a read thread, a timer's worker)
// would run on a half-destroyed object. A derived class whose handlers can run on other threads
// therefore calls unsubscribe_all() first thing in its own destructor: leaving a producer waits
// for a production under way on another thread.
template <class T>
class Subscriber : public T {
 public:
  Subscriber() = default;
  Subscriber(const Subscriber&) = delete;
  Subscriber& operator=(const Subscriber&) = delete;

  // I is the interface that declares T; the owner must also be a Producer<T>.
  template <class I>
  bool subscribe(const std::shared_ptr<I>& owner, int delivery, const std::string& /*name*/ = "") {
    auto producer = std::dynamic_pointer_cast<Producer<T>>(owner);
    if (!producer) {
      LastError::set(SubscribeCastFailed, 0, "dynamic pointer cast in subscribe failed");
      return false;
    }
    std::weak_ptr<Producer<T>> weak = producer;
    if (producers_.contains(weak)) return true;
    if (!producer->add_subscriber(self(), delivery)) return false;
    producers_.emplace(std::move(weak), producer->runLoopKey());
    return true;
  }

  template <class I>
  void unsubscribe(const std::shared_ptr<I>& owner) {
    auto producer = std::dynamic_pointer_cast<Producer<T>>(owner);
    if (!producer) return;
    auto it = producers_.find(producer);
    if (it == producers_.end()) return;
    producer->remove_subscriber(self());
    producers_.erase(it);
  }

  // Leaves every producer still alive. Calls queued for this subscriber by a producer that has
  // already gone are discarded too: nothing may run on this object once it is destroyed.
  void unsubscribe_all() {
    for (auto& [weak, key] : producers_) {
      if (auto producer = weak.lock()) {
        producer->remove_subscriber(self());
      } else {
        runloop::remove(self(), key);
      }
    }
    producers_.clear();
  }

  ~Subscriber() override { unsubscribe_all(); }

 private:
  T* self() { return this; }

  using WeakProducer = std::weak_ptr<Producer<T>>;
  std::map<WeakProducer, void*, std::owner_less<WeakProducer>> producers_;
};

}  // namespace devio
