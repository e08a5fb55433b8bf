#pragma once

#include <memory>

#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "sim/SimulatedBus.h"

namespace testsupport {

// The road from the simulated devices on a SimulatedBus to a device manager on this host. On
// POSIX the manager uses the bus itself; on Windows the bus's channels become HID devices of a
// simulated host and the manager's top bus is the real Win32Bus over it, so the transport, the
// channels and the combiner all run (HostRoad_win32.cpp).
class HostRoad {
 public:
  explicit HostRoad(std::shared_ptr<sim::SimulatedBus> bus);
  ~HostRoad();
  HostRoad(const HostRoad&) = delete;
  HostRoad& operator=(const HostRoad&) = delete;

  // For DeviceManager::Hooks::topBus.
  std::shared_ptr<devio::IHardwareBus> topBus(std::shared_ptr<devio::DeviceManager> manager);

 private:
  struct Host;
  std::shared_ptr<sim::SimulatedBus> bus_;
  std::unique_ptr<Host> host_;
};

}  // namespace testsupport
