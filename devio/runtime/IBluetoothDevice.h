#pragma once

#include <memory>
#include <string>

namespace devio {

class IBluetoothBus;

// One paired Bluetooth device as its Bluetooth bus knows it: the radio it is paired with and its
// live link. Implementations derive Producer<BtConnect>, Producer<BtFastConnect> and
// Producer<BtUnpair>. Radios are named by their interface paths.
class IBluetoothDevice {
 public:
  // The link as handled: a connect carries the radio the device is connected through.
  class BtConnect {
   public:
    virtual void onBtConnect(std::string /*radio*/) {}
    virtual void onBtPairingUpdate(std::string /*radio*/) {}
    virtual void onBtDisconnect() {}
    virtual ~BtConnect() = default;
  };
  // The link as the host first reports it, before anything is done about it.
  class BtFastConnect {
   public:
    virtual void onBtFastConnect(std::string /*radio*/) {}
    virtual void onBtFastDisconnect() {}
    virtual ~BtFastConnect() = default;
  };
  class BtUnpair {
   public:
    virtual void onBtUnpair(std::string /*radio*/) {}
    virtual ~BtUnpair() = default;
  };

  virtual ~IBluetoothDevice() = default;
  // The live link state.
  virtual bool connected() = 0;
  // The radio the device is paired with; empty when none.
  virtual std::string connected_radio() = 0;
  // The host still holds the pairing.
  virtual bool verify_pairing() = 0;
  // The radio of the pairing is present.
  virtual bool radio_present() = 0;
  // 2 Bluetooth classic, 3 Bluetooth LE.
  virtual int bus_type() = 0;
  virtual std::string name() = 0;
  virtual bool verify_connection_following_timeout() { return true; }
  virtual std::weak_ptr<IBluetoothBus> bus() = 0;
  // The device address as "%02X%02X:%02X:%02X%02X%02X".
  virtual std::string address() = 0;
};

}  // namespace devio
