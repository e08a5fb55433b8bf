#include "devio/runtime/HostHidBus.h"

#include "devio/runtime/EmptyBus.h"

namespace devio {

// Until the Windows HID bus exists.
std::shared_ptr<IHardwareBus> makeHostHidBus(std::shared_ptr<DeviceManager>) { return std::make_shared<EmptyBus>(); }

}  // namespace devio
