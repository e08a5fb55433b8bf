#include "tests/support/HostRoad.h"

namespace testsupport {

struct HostRoad::Host {};

HostRoad::HostRoad(std::shared_ptr<sim::SimulatedBus> bus) : bus_(std::move(bus)) {}

HostRoad::~HostRoad() = default;

std::shared_ptr<devio::IHardwareBus> HostRoad::topBus(std::shared_ptr<devio::DeviceManager>) { return bus_; }

}  // namespace testsupport
