// kavrin-dfu on Linux. Until the update workflow is built this front end shows the library at
// work: it starts the device manager, admits wired devices, delivers the manager's arrivals
// through the run loop on this thread, and lists the devices found.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "devio/protocol/IDevice.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"

namespace {

class DemoClient : public devio::Subscriber<devio::IDeviceManager::RunLoopEvent>,
                   public devio::Subscriber<devio::IDeviceManager::ArrivalRemoval> {
 public:
  // Direct delivery: runs on whichever library thread queued a call; only counts it.
  void onRunLoopEvent() override { ++signals_; }

  // Run-loop delivery: runs here, on the thread that drains the queue.
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override {
    std::printf("  arrival: %s (product id 0x%04X)\n", device->name().c_str(), device->pid());
  }
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override {
    std::printf("  removal: %s\n", device->name().c_str());
  }

  // Runs every queued call, one per signal.
  void drain(devio::CDevio& devio) {
    while (signals_ > 0) {
      --signals_;
      devio.call_event_from_runloop();
    }
  }

 private:
  std::atomic<int> signals_{0};
};

void installSimulatedKeyboard(devio::CDevio& devio) {
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [](std::shared_ptr<devio::DeviceManager>) {
    auto bus = sim::SimulatedBus::create();
    sim::SimulatedChannel::Config keyboard;
    keyboard.pid = 0x6E21;
    keyboard.name = "Kavrin Zephel (simulated)";
    keyboard.path = "sim://kavrin-zephel";
    bus->plug(sim::SimulatedChannel::create(keyboard));
    return std::shared_ptr<devio::IHardwareBus>(bus);
  };
  devio.install_hooks(hooks);
}

}  // namespace

int main(int argc, char** argv) {
  bool simulate = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--simulate") == 0) {
      simulate = true;
    } else {
      std::printf("usage: kavrin-dfu [--simulate]\n"
                  "  --simulate  plug a simulated Kavrin Zephel keyboard into the device manager\n");
      return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
    }
  }

  devio::CDevio& devio = devio::theDevio();
  if (simulate) installSimulatedKeyboard(devio);
  std::shared_ptr<devio::IDeviceManager> manager = devio;

  std::printf("Kavrin Zephel firmware update tool: device library check\n");
  DemoClient client;
  client.devio::Subscriber<devio::IDeviceManager::RunLoopEvent>::subscribe(manager, devio::Direct);
  if (!client.devio::Subscriber<devio::IDeviceManager::ArrivalRemoval>::subscribe(manager, devio::RunLoop)) {
    std::printf("The device manager could not start its buses (error %u).\n", devio::LastError::get().code);
    return 1;
  }
  std::printf("Admitting wired devices...\n");
  devio.config_set(devio::IDeviceManager::wired_active, true);
  client.drain(devio);

  const auto devices = devio.devices();
  std::printf("Devices found: %zu\n", devices.size());
  for (const auto& device : devices) {
    std::printf("  %s, product id 0x%04X, path %s\n", device->name().c_str(), device->pid(), device->path().c_str());
  }
  if (devices.empty()) {
    std::printf("No device can be found on this host yet: the Linux build has no HID transport.\n"
                "Run with --simulate to see a simulated keyboard arrive.\n");
  }
  std::printf("The firmware update itself comes with the update workflow.\n");
  return 0;
}
