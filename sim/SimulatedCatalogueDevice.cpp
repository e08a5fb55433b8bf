#include "sim/SimulatedCatalogueDevice.h"

#include <utility>
#include <vector>

namespace sim {

namespace {

using devio::Byte;
using devio::Bytes;

SimulatedChannel::Config channelConfig() {
  SimulatedChannel::Config config;
  config.pid = SimulatedCatalogueDevice::ProductId;
  config.name = "Simulated catalogue device";
  config.path = "sim://catalogue-device";
  return config;
}

SimulatedVeloDevice::Config deviceConfig() {
  SimulatedVeloDevice::Config config;
  // Root is at index 0; the update-mode features (0x00C0 to 0x00D0) belong to other firmware.
  const std::vector<std::uint16_t> ids{
      0x0001, 0x0003, 0x0005, 0x0007, 0x0020, 0x1000, 0x1001, 0x1300, 0x1800, 0x1802, 0x1805, 0x1806, 0x1814,
      0x1815, 0x1981, 0x1A00, 0x1B00, 0x1B03, 0x1B04, 0x1BC0, 0x1C00, 0x1D4B, 0x1E00, 0x1F1F, 0x1F20, 0x2005,
      0x2110, 0x2121, 0x2130, 0x2201, 0x2205, 0x2230, 0x2240, 0x2400, 0x40A2, 0x40A3, 0x4220, 0x4521, 0x4522,
      0x4530, 0x4531, 0x4540, 0x6010, 0x6012, 0x6100, 0x6500, 0x6501, 0x8010, 0x8020, 0x8030, 0x8060, 0x8070,
      0x8080, 0x8100, 0x8110, 0x8111, 0x8120, 0x8123, 0x8300, 0x8310};
  config.features.clear();
  for (const std::uint16_t id : ids) config.features.push_back({id});
  config.firmware.pid1 = SimulatedCatalogueDevice::ProductId;
  config.firmware.entities = {{0, "MPK", 0x1204, 0x0047, true}, {1, "BL1", 0x0105, 0x0012, false}};
  return config;
}

// A fixed answer to a query without parameters.
SimulatedVeloDevice::Function answer(Bytes payload) {
  return [payload = std::move(payload)](const Bytes&) { return SimulatedVeloDevice::Answer(payload); };
}

}  // namespace

SimulatedCatalogueDevice::SimulatedCatalogueDevice(std::shared_ptr<SimulatedBus> bus)
    : bus_(std::move(bus)),
      channel_(SimulatedChannel::create(channelConfig())),
      device_(SimulatedVeloDevice::create(channel_, deviceConfig())) {
  device_->setFunction(0x1000, 0, answer({80, 50, 0}));  // 80 %, next level 50 %, discharging
  device_->setFunction(0x1981, 0, answer({4, 6, 1}));    // level 4, 30 s, on
  device_->setFunction(0x2121, 1, answer({0x02}));       // high resolution, to the HID stack
  device_->setFunction(0x2130, 0, answer({1}));          // ratchet
  device_->setFunction(0x2201, 0, answer({1}));          // one sensor
  device_->setFunction(0x2201, 2, [](const Bytes& params) {
    return SimulatedVeloDevice::Answer(Bytes{params.at(0), 0x06, 0x40, 0x03, 0x20});  // 1600 DPI, default 800
  });
  device_->setFunction(0x4220, 0, answer({0x02}));  // Caps Lock
  device_->setFunction(0x4540, 0, answer({3}));     // German
  device_->setFunction(0x8060, 1, answer({1}));     // 1 ms
}

void SimulatedCatalogueDevice::plug() { bus_->plug(channel_); }

void SimulatedCatalogueDevice::unplug() { bus_->unplug(channel_); }

}  // namespace sim
