#include "sim/win32/SimulatedHidDevice.h"

namespace sim {

SimulatedHidDevice SimulatedHidDevice::zephel(std::uint16_t pid, std::string product) {
  SimulatedHidDevice device;
  device.pid = pid;
  device.product = std::move(product);
  device.collections = {Collection{0xFF00, 1, 7, 7, {0x10}, 1}, Collection{0xFF00, 2, 20, 20, {0x11}, 1}};
  return device;
}

}  // namespace sim
