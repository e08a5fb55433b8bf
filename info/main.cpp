// devio-info: lists the devices the devio library finds, with their firmware and features.
// --simulate plugs in the simulated keyboard, a simulated device that carries most of the
// feature catalogue and a simulated receiver with two paired devices.
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "devio/runtime/CDevio.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "info/ArrivalWatcher.h"
#include "info/DeviceInspector.h"
#include "info/InfoOptions.h"
#include "info/InfoOutput.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedCatalogueDevice.h"
#include "sim/SimulatedReceiver.h"
#include "sim/SimulatedZephelKeyboard.h"

namespace {

enum ExitStatus { Listed = 0, BadCommandLine = 2, NoDevice = 3 };

// The simulated devices, plugged into a bus that every device manager from now on starts with.
struct SimulatedDevices {
  explicit SimulatedDevices(devio::CDevio& devio)
      : bus(sim::SimulatedBus::create()),
        keyboard(sim::SimulatedZephelKeyboard::create(bus)),
        catalogue(bus),
        receiver(sim::SimulatedReceiver::create(receiverConfig())) {
    devio::DeviceManager::Hooks hooks;
    hooks.topBus = [bus = bus](std::shared_ptr<devio::DeviceManager>) {
      return std::shared_ptr<devio::IHardwareBus>(bus);
    };
    devio.install_hooks(hooks);
    keyboard->plug();
    catalogue.plug();
    // A receiver with a mouse and a keyboard that is switched off.
    receiver->pair(0x4082, "Zephel Mouse");
    receiver->pair(0x4075, "Zephel Keys");
    receiver->switchOff(1);
    bus->plug(receiver->channel());
  }

  static sim::SimulatedReceiver::Config receiverConfig() {
    sim::SimulatedReceiver::Config config;
    config.name = "Corvane receiver";
    return config;
  }

  // The keyboard, the catalogue device, the receiver and its two devices.
  static constexpr std::size_t Count = 5;
  std::shared_ptr<sim::SimulatedBus> bus;
  std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard;
  sim::SimulatedCatalogueDevice catalogue;
  std::shared_ptr<sim::SimulatedReceiver> receiver;
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto parsed = InfoOptions::parse(args);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    std::cerr << "devio-info: " << *error << "\n\n" << InfoOptions::usage();
    return BadCommandLine;
  }
  const InfoOptions& options = std::get<InfoOptions>(parsed);
  if (options.help) {
    std::cout << InfoOptions::usage();
    return Listed;
  }

  // Shuts the library down (joining its threads) before main returns, so that the exit status
  // is this function's own.
  devio::Vs2003SingletonThreadCleanup guard;
  devio::CDevio& devio = devio::theDevio();
  std::optional<SimulatedDevices> simulated;
  if (options.simulate) simulated.emplace(devio);
  // Every kind of device, set before the buses start so that nothing is enumerated twice.
  for (const int item : {devio::IDeviceManager::bluetooth_active, devio::IDeviceManager::ble_active,
                         devio::IDeviceManager::receiver_active, devio::IDeviceManager::wired_active})
    devio.config_set(item, true);

  ArrivalWatcher watcher(devio);
  const auto devices =
      watcher.wait(std::chrono::milliseconds(options.waitMs), simulated ? SimulatedDevices::Count : 0);
  std::vector<InspectedDevice> inspected;
  for (const auto& device : devices) inspected.push_back(DeviceInspector::inspect(*device));

  if (options.json) {
    InfoOutput::printJson(std::cout, inspected);
  } else if (inspected.empty()) {
    std::cout << "No device came.\n";
  } else {
    InfoOutput::printText(std::cout, inspected);
  }
  return inspected.empty() ? NoDevice : Listed;
}
