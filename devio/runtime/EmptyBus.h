#pragma once

#include <memory>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"

namespace devio {

// A bus with nothing on it: the top bus of a host without a HID transport.
class EmptyBus final : public IHardwareBus,
                       public Producer<IHardwareBus::PlugUnplug>,
                       public std::enable_shared_from_this<EmptyBus> {
 public:
  // Empty, with LastError Success (a bus without devices, not a failed enumeration).
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override;
};

}  // namespace devio
