#pragma once

#include <memory>
#include <vector>

#include "devio/protocol/Byte.h"
#include "devio/protocol/IDevice.h"

namespace devio {

// What only a wireless receiver offers besides being a bus of its paired devices. The receiver
// bus derives Producer<LockingChange> and Producer<RegisterZeroOverwritten>.
class IReceiver {
 public:
  class LockingChange {
   public:
    // The two bytes of the receiver's lock notification, unchanged.
    using State = Byte;
    using ErrorType = Byte;
    virtual void onLockingChange(std::shared_ptr<IDevice> /*receiver*/, State /*state*/, ErrorType /*error*/) {}
    virtual ~LockingChange() = default;
  };
  // Another program wrote the receiver's notification flags (register 0x00).
  class RegisterZeroOverwritten {
   public:
    virtual void onRegisterZeroOverwritten() {}
    virtual ~RegisterZeroOverwritten() = default;
  };

  virtual ~IReceiver() = default;
  // The protocol devices the device manager holds for the paired devices.
  virtual std::vector<std::shared_ptr<IDevice>> devices() = 0;
  // Reads the per-slot activity values into the children.
  virtual bool refresh_activity() = 0;
  // Product id 0x7335 or 0x7342.
  virtual bool is_compact() = 0;
  // Opens the receiver for pairing.
  virtual bool open_lock() = 0;
  virtual bool close_lock() = 0;
  // Removes the pairing of device index (slot + 1) index.
  virtual bool unpair(int index) = 0;
};

}  // namespace devio
