#pragma once

#include <cstdint>
#include <memory>

#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"

namespace sim {

// A corded device whose feature table holds the library's catalogue (every feature class but
// the update-mode ones), plugged into a SimulatedBus it is given. It answers the queries of the
// settings an inspector reads with plausible values: battery, DPI, report rate, keyboard
// layout, both wheel modes, lock keys and backlight. Other functions answer as
// SimulatedVeloDevice answers functions it has no behaviour for.
class SimulatedCatalogueDevice {
 public:
  static constexpr std::uint16_t ProductId = 0x40B2;

  // Starts unplugged.
  explicit SimulatedCatalogueDevice(std::shared_ptr<SimulatedBus> bus);

  void plug();
  void unplug();

  const std::shared_ptr<SimulatedVeloDevice>& device() const { return device_; }

 private:
  const std::shared_ptr<SimulatedBus> bus_;
  const std::shared_ptr<SimulatedChannel> channel_;
  const std::shared_ptr<SimulatedVeloDevice> device_;
};

}  // namespace sim
