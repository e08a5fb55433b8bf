#pragma once

namespace devio {

// What a receiver offers the protocol devices paired to it while this host configures them.
// Implemented by the receiver's bus; a device reaches it through its bus(). Each operation
// answers false and leaves LastError on failure.
class IReceiverConfiguration {
 public:
  virtual ~IReceiverConfiguration() = default;
  // Configuring software is present on this host.
  virtual bool set_software_present() = 0;
  // Marks the pairing slot (0-based) of a device whose changes wait for its next connection.
  virtual bool set_slot_flag(int slot) = 0;
  // The configuring software leaves: the receiver clears its software-present state.
  virtual bool shutdown_receiver() = 0;
};

}  // namespace devio
