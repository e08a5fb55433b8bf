#include "sim/SimulatedBluetoothBus.h"

namespace sim {

using External = devio::IBluetoothBus::RadioArrivalRemovalExternal;

std::shared_ptr<SimulatedBluetoothBus> SimulatedBluetoothBus::create() {
  return std::shared_ptr<SimulatedBluetoothBus>(new SimulatedBluetoothBus);
}

std::shared_ptr<devio::IBluetoothDevice> SimulatedBluetoothBus::device_paired_on_path(std::string path) {
  std::lock_guard lock(mutex_);
  ++lookups_;
  const auto it = pairings_.find(path);
  return it == pairings_.end() ? nullptr : it->second;
}

std::shared_ptr<SimulatedBluetoothDevice> SimulatedBluetoothBus::pair(const std::string& path,
                                                                      SimulatedBluetoothDevice::Config config) {
  auto device = std::make_shared<SimulatedBluetoothDevice>(weak_from_this(), std::move(config));
  std::lock_guard lock(mutex_);
  pairings_[path] = device;
  return device;
}

void SimulatedBluetoothBus::addRadio(const std::string& radio) {
  {
    std::lock_guard lock(mutex_);
    radios_.insert(radio);
  }
  produce([radio](External* s) { s->onRadioArrival(radio); }, "SimulatedBluetoothBus::RadioArrivalRemovalExternal::onRadioArrival");
}

void SimulatedBluetoothBus::removeRadio(const std::string& radio) {
  {
    std::lock_guard lock(mutex_);
    radios_.erase(radio);
  }
  produce([radio](External* s) { s->onRadioRemoval(radio); }, "SimulatedBluetoothBus::RadioArrivalRemovalExternal::onRadioRemoval");
}

bool SimulatedBluetoothBus::hasRadio(const std::string& radio) {
  std::lock_guard lock(mutex_);
  return radios_.contains(radio);
}

int SimulatedBluetoothBus::lookups() {
  std::lock_guard lock(mutex_);
  return lookups_;
}

void SimulatedBluetoothBus::forget(const SimulatedBluetoothDevice* device) {
  std::lock_guard lock(mutex_);
  std::erase_if(pairings_, [device](const auto& entry) { return entry.second.get() == device; });
}

}  // namespace sim
