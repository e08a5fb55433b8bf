#include "tests/support/HostRoad.h"

#include "devio/win32/Win32Bus.h"
#include "sim/win32/SimulatedHidBridge.h"
#include "sim/win32/SimulatedWin32System.h"

namespace testsupport {

struct HostRoad::Host {
  std::shared_ptr<sim::SimulatedWin32System> system = std::make_shared<sim::SimulatedWin32System>();
  sim::SimulatedHidBridge bridge;
  explicit Host(std::shared_ptr<sim::SimulatedBus> bus) : bridge(std::move(bus), system) {}
};

HostRoad::HostRoad(std::shared_ptr<sim::SimulatedBus> bus) : bus_(bus), host_(std::make_unique<Host>(bus)) {}

HostRoad::~HostRoad() = default;

std::shared_ptr<devio::IHardwareBus> HostRoad::topBus(std::shared_ptr<devio::DeviceManager> manager) {
  return devio::Win32Bus::create(manager, [system = host_->system] { return system; });
}

}  // namespace testsupport
