#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "devio/runtime/IBluetoothDevice.h"
#include "devio/runtime/Producer.h"

namespace devio {

class BluetoothMicrosoftBus;

// One paired device of the host's Bluetooth stack, by address and bus type (2 classic, 3 LE).
// What it answers comes from the host through its bus, which it starts on first need; the bus
// runs its connect, disconnect and unpair handlers when the host reports them (on the HID bus's
// window thread).
class BluetoothMicrosoftDevice final : public IBluetoothDevice,
                                       public Producer<IBluetoothDevice::BtConnect>,
                                       public Producer<IBluetoothDevice::BtFastConnect>,
                                       public Producer<IBluetoothDevice::BtUnpair>,
                                       public std::enable_shared_from_this<BluetoothMicrosoftDevice> {
 public:
  BluetoothMicrosoftDevice(std::weak_ptr<BluetoothMicrosoftBus> bus, std::uint64_t address, int busType);

  // IBluetoothDevice
  bool connected() override;
  std::string connected_radio() override;
  bool verify_pairing() override;
  bool radio_present() override;
  int bus_type() override { return busType_; }
  std::string name() override;
  std::weak_ptr<IBluetoothBus> bus() override;
  std::string address() override;

  std::uint64_t rawAddress() const { return address_; }
  // The bus's handlers for what the host reported.
  void connect(const std::string& radio);
  void disconnect();
  void unpair(const std::string& radio);
  // An interface path of the device's, for finding its radio in the device tree.
  void rememberPath(const std::string& path);

  // "%02X%02X:%02X:%02X%02X%02X", most significant byte first.
  static std::string addressText(std::uint64_t address);

 protected:
  // A subscriber starts the bus: events come only from a started one.
  bool on_subscribe(IBluetoothDevice::BtConnect* subscriber) override;
  bool on_subscribe(IBluetoothDevice::BtFastConnect* subscriber) override;
  bool on_subscribe(IBluetoothDevice::BtUnpair* subscriber) override;

 private:
  std::shared_ptr<BluetoothMicrosoftBus> startedBus(const char* failure);
  std::string radioFromDeviceTree();

  const std::weak_ptr<BluetoothMicrosoftBus> bus_;
  const std::uint64_t address_;
  const int busType_;
  std::mutex mutex_;  // guards radio_ and path_
  std::string radio_;  // the radio the host last reported it on
  std::string path_;
};

}  // namespace devio
