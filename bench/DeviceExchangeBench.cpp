// Time of one synchronous exchange through the command engine, against a simulated device that
// answers at once, next to its floor: the bare hand-off of one report from a writer thread to a
// reader thread and back, through the same queue/condition pattern the simulated channel uses;
// and the same exchange with the same simulated device paired to the simulated receiver (through
// CorvaneDevice, the receiver's engine and channel and its read handler): the difference is the
// receiver's share.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "devio/protocol/Device.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/DeviceManager.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedReceiver.h"
#include "sim/SimulatedVeloDevice.h"

namespace {

using devio::Bytes;

// Exchanges with device until the state ends.
void timeExchanges(benchmark::State& state, devio::IDevice& device) {
  // Discovery fills the feature table, so every exchange takes the full path (software id rewrite).
  if (!device.feature_by_id(0x0020)) {
    state.SkipWithError("discovery failed");
    return;
  }
  // Root GetFeature(0x0020), never cached.
  const Bytes request = devio::velo::buildRequest(0x00, 0, device.swid(), {0x00, 0x20});
  Bytes response;
  device.sendSynchronousCommand(request, &response, false, {});  // the pending ping goes out here
  for (auto _ : state) {
    if (!device.sendSynchronousCommand(request, &response, false, {})) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(response.data());
  }
}

void BM_DeviceExchange(benchmark::State& state) {
  const auto bus = sim::SimulatedBus::create();
  const auto channel = sim::SimulatedChannel::create();
  const auto peer = sim::SimulatedVeloDevice::create(channel);
  bus->plug(channel);
  const auto device = std::make_shared<devio::Device>(std::weak_ptr<devio::IDeviceManager>{}, channel);
  device->initDevice(nullptr);
  timeExchanges(state, *device);
  device->uninitDevice();
}
BENCHMARK(BM_DeviceExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The receiver's devices come from a manager (receivers on) whose top bus holds the receiver.
void BM_ReceiverExchange(benchmark::State& state) {
  const auto bus = sim::SimulatedBus::create();
  const auto receiver = sim::SimulatedReceiver::create();
  receiver->pair(0x4082, "Zephel Mouse");
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [bus](std::shared_ptr<devio::DeviceManager>) { return std::shared_ptr<devio::IHardwareBus>(bus); };
  const auto manager = devio::DeviceManager::create(hooks);
  manager->config_set(devio::IDeviceManager::receiver_active, true);
  bus->plug(receiver->channel());
  for (const auto& device : manager->devices()) {
    if (device->transport() == 1) {
      timeExchanges(state, *device);
      return;
    }
  }
  state.SkipWithError("no device behind the receiver");
}
BENCHMARK(BM_ReceiverExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The floor: a writer queues a report for a reader thread (the channel's inbox), the reader takes
// it and hands the answer back under a second mutex and condition (the engine's completion).
class PingPong {
 public:
  PingPong() : reader_([this] { read(); }) {}
  ~PingPong() {
    {
      std::lock_guard lock(inboxMutex_);
      stop_ = true;
    }
    inboxChanged_.notify_all();
    reader_.join();
  }

  Bytes exchange(const Bytes& report) {
    std::unique_lock lock(answerMutex_);
    answered_ = false;
    {
      std::lock_guard inboxLock(inboxMutex_);
      inbox_.push_back(report);
    }
    inboxChanged_.notify_all();
    answeredChanged_.wait(lock, [this] { return answered_; });
    return answer_;
  }

 private:
  void read() {
    std::unique_lock lock(inboxMutex_);
    for (;;) {
      inboxChanged_.wait(lock, [this] { return stop_ || !inbox_.empty(); });
      if (stop_) return;
      Bytes report = std::move(inbox_.front());
      inbox_.pop_front();
      lock.unlock();
      {
        std::lock_guard answerLock(answerMutex_);
        answer_ = std::move(report);
        answered_ = true;
      }
      answeredChanged_.notify_all();
      lock.lock();
    }
  }

  std::mutex inboxMutex_;
  std::condition_variable inboxChanged_;
  std::deque<Bytes> inbox_;
  bool stop_ = false;
  std::mutex answerMutex_;
  std::condition_variable answeredChanged_;
  bool answered_ = false;
  Bytes answer_;
  std::thread reader_;
};

void BM_ThreadPingPongFloor(benchmark::State& state) {
  PingPong pingPong;
  const Bytes request = devio::velo::buildRequest(0x00, 0, 15, {0x00, 0x20});
  for (auto _ : state) {
    Bytes answer = pingPong.exchange(request);
    benchmark::DoNotOptimize(answer.data());
  }
}
BENCHMARK(BM_ThreadPingPongFloor)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
