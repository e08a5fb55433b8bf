#include "devio/runtime/HostHidBus.h"

#include "devio/runtime/EmptyBus.h"

namespace devio {

// No HID transport on this host yet.
std::shared_ptr<IHardwareBus> makeHostHidBus(std::shared_ptr<DeviceManager>) { return std::make_shared<EmptyBus>(); }

}  // namespace devio
