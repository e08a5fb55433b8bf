#include "devio/runtime/HostHidBus.h"

#include "devio/runtime/DeviceManager.h"
#include "devio/win32/Win32Bus.h"

namespace devio {

std::shared_ptr<IHardwareBus> makeHostHidBus(std::shared_ptr<DeviceManager> manager) { return Win32Bus::create(manager); }

}  // namespace devio
