#include "sim/SimulatedBus.h"

#include <algorithm>

#include "devio/protocol/LastError.h"

namespace sim {

using devio::IHardwareDevice;

std::shared_ptr<SimulatedBus> SimulatedBus::create() { return std::shared_ptr<SimulatedBus>(new SimulatedBus); }

std::vector<std::shared_ptr<IHardwareDevice>> SimulatedBus::devices() {
  std::lock_guard lock(mutex_);
  ++enumerations_;
  devio::LastError::set(enumerationError_);
  if (enumerationError_ != devio::Success) return {};
  return {channels_.begin(), channels_.end()};
}

std::vector<std::shared_ptr<devio::IBluetoothBus>> SimulatedBus::bluetooth_buses() {
  std::lock_guard lock(mutex_);
  return bluetoothBuses_;
}

void SimulatedBus::persistent_data_directory(std::string dir) {
  std::lock_guard lock(mutex_);
  persistentDirectory_ = std::move(dir);
}

bool SimulatedBus::wants_combiner() {
  std::lock_guard lock(mutex_);
  return wantsCombiner_;
}

std::vector<std::shared_ptr<devio::IHardwareSecondaryBus>> SimulatedBus::secondary_buses() {
  std::lock_guard lock(mutex_);
  return secondaryBuses_;
}

void SimulatedBus::refresh() {
  std::lock_guard lock(mutex_);
  ++refreshes_;
}

void SimulatedBus::plug(const std::shared_ptr<SimulatedChannel>& channel) {
  {
    std::lock_guard lock(mutex_);
    if (std::find(channels_.begin(), channels_.end(), channel) == channels_.end()) channels_.push_back(channel);
  }
  channel->plugInto(weak_from_this());
  std::shared_ptr<IHardwareDevice> announced = channel;
  produce([announced](PlugUnplug* s) { s->onPlug(announced); }, "SimulatedBus::PlugUnplug::onPlug");
}

void SimulatedBus::unplug(const std::shared_ptr<SimulatedChannel>& channel) {
  {
    std::lock_guard lock(mutex_);
    std::erase(channels_, channel);
  }
  channel->pull();
  std::shared_ptr<IHardwareDevice> announced = channel;
  produce([announced](PlugUnplug* s) { s->onUnplug(announced); }, "SimulatedBus::PlugUnplug::onUnplug");
}

void SimulatedBus::powerChange(bool standBy) {
  produce([standBy](PlugUnplug* s) { s->onPowerChange(standBy); }, "SimulatedBus::PlugUnplug::onPowerChange");
}

void SimulatedBus::failEnumeration(devio::ErrorCode code) {
  std::lock_guard lock(mutex_);
  enumerationError_ = code;
}

void SimulatedBus::setBluetoothBuses(std::vector<std::shared_ptr<devio::IBluetoothBus>> buses) {
  std::lock_guard lock(mutex_);
  bluetoothBuses_ = std::move(buses);
}

void SimulatedBus::setWantsCombiner(bool wants) {
  std::lock_guard lock(mutex_);
  wantsCombiner_ = wants;
}

void SimulatedBus::addSecondaryBus(std::shared_ptr<devio::IHardwareSecondaryBus> bus) {
  std::lock_guard lock(mutex_);
  secondaryBuses_.push_back(std::move(bus));
}

int SimulatedBus::enumerations() {
  std::lock_guard lock(mutex_);
  return enumerations_;
}

int SimulatedBus::refreshes() {
  std::lock_guard lock(mutex_);
  return refreshes_;
}

std::string SimulatedBus::persistentDirectory() {
  std::lock_guard lock(mutex_);
  return persistentDirectory_;
}

}  // namespace sim
