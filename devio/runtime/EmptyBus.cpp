#include "devio/runtime/EmptyBus.h"

#include "devio/protocol/LastError.h"

namespace devio {

std::vector<std::shared_ptr<IHardwareDevice>> EmptyBus::devices() {
  LastError::set(Success);
  return {};
}

}  // namespace devio
