#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The device enumeration keys of the Bluetooth pairings a simulated host holds, written into the
// running Wine prefix's HKEY_LOCAL_MACHINE as the host's Bluetooth stack keeps them:
// "<enum key>\<model>\<instance>" with the value "ParentIDPrefix" and, unless left out,
// "Device Parameters\BluetoothAddress". Everything written is removed again on destruction.
class SimulatedBluetoothRegistry {
 public:
  struct Entry {
    std::wstring enumKey;  // "SYSTEM\CurrentControlSet\Enum\BTHENUM" or "...\BTHLEDevice"
    std::wstring model;
    std::wstring instance;
    std::wstring parentIdPrefix;
    std::optional<std::uint64_t> address;
  };

  SimulatedBluetoothRegistry() = default;
  SimulatedBluetoothRegistry(const SimulatedBluetoothRegistry&) = delete;
  SimulatedBluetoothRegistry& operator=(const SimulatedBluetoothRegistry&) = delete;
  ~SimulatedBluetoothRegistry();

  bool write(const Entry& entry);
  // The instance key goes, and the model key with it once it is empty.
  void remove(const Entry& entry);

 private:
  std::mutex mutex_;  // guards written_
  std::vector<Entry> written_;
};

}  // namespace sim
