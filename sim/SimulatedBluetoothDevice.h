#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "devio/runtime/IBluetoothBus.h"
#include "devio/runtime/IBluetoothDevice.h"
#include "devio/runtime/Producer.h"

namespace sim {

class SimulatedBluetoothBus;

// A paired Bluetooth device of a SimulatedBluetoothBus, driven by a test. The link has two
// sides: the live state connected() answers and the fast events that report it first, and the
// slow events that report it handled; a test moves them together (connect, disconnect) or one
// at a time. Events are produced on the calling thread. Thread-safe.
class SimulatedBluetoothDevice final : public devio::IBluetoothDevice,
                                       public devio::Producer<devio::IBluetoothDevice::BtConnect>,
                                       public devio::Producer<devio::IBluetoothDevice::BtFastConnect>,
                                       public devio::Producer<devio::IBluetoothDevice::BtUnpair>,
                                       public std::enable_shared_from_this<SimulatedBluetoothDevice> {
 public:
  struct Config {
    std::string address = "0011:22:334455";
    std::string name = "Simulated Bluetooth device";
    int busType = 2;
    std::string radio = "sim://radio/1";
  };

  SimulatedBluetoothDevice(std::weak_ptr<SimulatedBluetoothBus> bus, Config config);

  // IBluetoothDevice
  bool connected() override;
  std::string connected_radio() override;
  bool verify_pairing() override;
  bool radio_present() override;
  int bus_type() override { return config_.busType; }
  std::string name() override { return config_.name; }
  std::weak_ptr<devio::IBluetoothBus> bus() override;
  std::string address() override { return config_.address; }

  // Live state and both kinds of events.
  void connect();
  void disconnect();
  // The live state with its fast event only; the slow one comes with slowConnect/slowDisconnect.
  void fastConnect();
  void fastDisconnect();
  void slowConnect();
  void slowDisconnect();
  // The live state alone, reported by no event.
  void setLive(bool live);
  // The host forgets the pairing: lookups of its path find nothing, onBtUnpair(radio) follows.
  void unpair();
  // The host forgets the pairing without an event (removed while nobody listened).
  void losePairing();

 private:
  std::string pairedRadio();

  const std::weak_ptr<SimulatedBluetoothBus> bus_;
  const Config config_;
  std::mutex mutex_;  // guards the two below
  bool paired_ = true;
  bool live_ = false;
};

}  // namespace sim
