#pragma once

#include <memory>

#include "devio/runtime/IHardwareBus.h"

namespace devio {

class DeviceManager;

// The top bus a device manager uses by default on this host (defined per host).
std::shared_ptr<IHardwareBus> makeHostHidBus(std::shared_ptr<DeviceManager> manager);

}  // namespace devio
