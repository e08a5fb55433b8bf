#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "devio/runtime/IBluetoothBus.h"
#include "devio/runtime/Producer.h"
#include "sim/SimulatedBluetoothDevice.h"

namespace sim {

// The host's Bluetooth side for a test: pairings by interface path and radios that arrive and
// leave (produced as RadioArrivalRemovalExternal on the calling thread). Thread-safe.
class SimulatedBluetoothBus final : public devio::IBluetoothBus,
                                    public devio::Producer<devio::IBluetoothBus::RadioArrivalRemovalExternal>,
                                    public std::enable_shared_from_this<SimulatedBluetoothBus> {
 public:
  static std::shared_ptr<SimulatedBluetoothBus> create();

  // IBluetoothBus
  std::shared_ptr<devio::IBluetoothDevice> device_paired_on_path(std::string path) override;

  // Pairs a device whose HID interface has this path; its link starts down.
  std::shared_ptr<SimulatedBluetoothDevice> pair(const std::string& path, SimulatedBluetoothDevice::Config config = {});
  void addRadio(const std::string& radio);
  void removeRadio(const std::string& radio);
  bool hasRadio(const std::string& radio);
  // How often device_paired_on_path was asked.
  int lookups();

 private:
  friend class SimulatedBluetoothDevice;
  SimulatedBluetoothBus() = default;
  void forget(const SimulatedBluetoothDevice* device);

  std::mutex mutex_;  // guards everything below
  std::map<std::string, std::shared_ptr<SimulatedBluetoothDevice>> pairings_;  // by path
  std::set<std::string> radios_;
  int lookups_ = 0;
};

}  // namespace sim
