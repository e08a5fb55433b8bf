#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/protocol/ErrorCode.h"
#include "devio/runtime/IBluetoothBus.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"
#include "sim/SimulatedChannel.h"

namespace sim {

// A hardware bus driven by a test: plug() and unplug() announce channels with onPlug and
// onUnplug on the calling thread, powerChange() produces onPowerChange. What the bus reports
// about itself (enumeration error, Bluetooth buses, combiner wish, secondary buses) is set by
// the test. It can itself be a secondary bus of another one. Thread-safe.
class SimulatedBus final : public devio::IHardwareSecondaryBus,
                           public devio::Producer<devio::IHardwareBus::PlugUnplug>,
                           public std::enable_shared_from_this<SimulatedBus> {
 public:
  static std::shared_ptr<SimulatedBus> create();

  // IHardwareBus
  // The plugged channels in plug order; empty with the chosen error while failEnumeration is set.
  std::vector<std::shared_ptr<devio::IHardwareDevice>> devices() override;
  std::vector<std::shared_ptr<devio::IBluetoothBus>> bluetooth_buses() override;
  void persistent_data_directory(std::string dir) override;
  bool wants_combiner() override;
  std::vector<std::shared_ptr<devio::IHardwareSecondaryBus>> secondary_buses() override;
  void refresh() override;

  // Plugs the channel into this bus (once; plugging it again only repeats the announcement).
  void plug(const std::shared_ptr<SimulatedChannel>& channel);
  // Pulls the channel out and announces it.
  void unplug(const std::shared_ptr<SimulatedChannel>& channel);
  void powerChange(bool standBy);

  // Success clears it.
  void failEnumeration(devio::ErrorCode code);
  void setBluetoothBuses(std::vector<std::shared_ptr<devio::IBluetoothBus>> buses);
  void setWantsCombiner(bool wants);
  void addSecondaryBus(std::shared_ptr<devio::IHardwareSecondaryBus> bus);

  // What the bus saw.
  int enumerations();
  int refreshes();
  std::string persistentDirectory();

 private:
  SimulatedBus() = default;

  std::mutex mutex_;
  std::vector<std::shared_ptr<SimulatedChannel>> channels_;
  devio::ErrorCode enumerationError_ = devio::Success;
  std::vector<std::shared_ptr<devio::IBluetoothBus>> bluetoothBuses_;
  bool wantsCombiner_ = false;
  std::vector<std::shared_ptr<devio::IHardwareSecondaryBus>> secondaryBuses_;
  int enumerations_ = 0;
  int refreshes_ = 0;
  std::string persistentDirectory_;
};

}  // namespace sim
