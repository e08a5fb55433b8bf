// Cost of one event through the run loop: a producer queues a call for its run-loop subscriber
// (which signals the direct RunLoopEvent subscriber), then the client dispatches it.
#include <benchmark/benchmark.h>

#include <memory>

#include "devio/runtime/CDevio.h"
#include "devio/runtime/ITimer.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace {

using devio::IDeviceManager;
using devio::ITimer;

class Signals final : public devio::Subscriber<IDeviceManager::RunLoopEvent> {
 public:
  void onRunLoopEvent() override { ++count; }
  long count = 0;
};

class Handler final : public devio::Subscriber<ITimer::TimerEvent> {
 public:
  void onTimerEvent(int id) override { sum += id; }
  long sum = 0;
};

void BM_RunLoopEnqueueAndDispatch(benchmark::State& state) {
  auto& facade = devio::theDevio();
  facade.reset();
  Signals signals;
  Handler handler;
  auto producer = std::make_shared<devio::Producer<ITimer::TimerEvent>>();
  if (!signals.subscribe(facade.getimpl(), devio::Direct) || !handler.subscribe(producer, devio::RunLoop)) {
    state.SkipWithError("subscription failed");
    return;
  }
  for (auto _ : state) {
    producer->produce([](ITimer::TimerEvent* s) { s->onTimerEvent(1); }, "Bench::TimerEvent::onTimerEvent");
    facade.call_event_from_runloop();
  }
  if (handler.sum != static_cast<long>(state.iterations())) state.SkipWithError("events were lost");
  state.SetItemsProcessed(state.iterations());
  handler.unsubscribe(producer);
  facade.reset();  // no manager left at exit
}
BENCHMARK(BM_RunLoopEnqueueAndDispatch);

}  // namespace

BENCHMARK_MAIN();
