// Time of one synchronous exchange with a device behind the simulated receiver (through
// CorvaneDevice, the receiver's command engine and channel, the receiver's read handler), next to
// the same exchange with the same kind of simulated device plugged in directly, in one run: the
// difference is the receiver's share.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/DeviceManager.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedReceiver.h"
#include "sim/SimulatedVeloDevice.h"

namespace {

using devio::Bytes;

// One manager with a receiver (a mouse paired in slot 0) and the same device plugged directly.
struct Bench {
  Bench() {
    sim::SimulatedChannel::Config corded;
    corded.pid = 0x4082;
    corded.path = "sim://corded-mouse";
    const auto channel = sim::SimulatedChannel::create(corded);
    direct = sim::SimulatedVeloDevice::create(channel);
    receiver->pair(0x4082, "Zephel Mouse");
    devio::DeviceManager::Hooks hooks;
    hooks.topBus = [bus = bus](std::shared_ptr<devio::DeviceManager>) { return std::shared_ptr<devio::IHardwareBus>(bus); };
    manager = devio::DeviceManager::create(hooks);
    manager->config_set(devio::IDeviceManager::receiver_active, true);
    manager->config_set(devio::IDeviceManager::wired_active, true);
    bus->plug(channel);
    bus->plug(receiver->channel());
  }

  std::shared_ptr<devio::IDevice> device(const std::string& path) {
    for (const auto& device : manager->devices()) {
      if (device->path() == path) return device;
    }
    return nullptr;
  }

  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedReceiver> receiver = sim::SimulatedReceiver::create();
  std::shared_ptr<sim::SimulatedVeloDevice> direct;
  std::shared_ptr<devio::DeviceManager> manager;
};

void exchanges(benchmark::State& state, const std::string& path) {
  Bench bench;
  const auto device = bench.device(path);
  // Discovery fills the feature table, so every exchange takes the full path (software id rewrite).
  if (!device || !device->feature_by_id(0x0020)) {
    state.SkipWithError("no device or discovery failed");
    return;
  }
  // Root GetFeature(0x0020), never cached.
  const Bytes request = devio::velo::buildRequest(0x00, 0, device->swid(), {0x00, 0x20});
  Bytes response;
  device->sendSynchronousCommand(request, &response, false, {});  // the pending ping goes out here
  for (auto _ : state) {
    if (!device->sendSynchronousCommand(request, &response, false, {})) {
      state.SkipWithError("exchange failed");
      break;
    }
    benchmark::DoNotOptimize(response.data());
  }
}

void BM_DirectExchange(benchmark::State& state) { exchanges(state, "sim://corded-mouse"); }
BENCHMARK(BM_DirectExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ReceiverExchange(benchmark::State& state) { exchanges(state, "sim://receiver:0"); }
BENCHMARK(BM_ReceiverExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
