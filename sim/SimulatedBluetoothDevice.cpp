#include "sim/SimulatedBluetoothDevice.h"

#include "sim/SimulatedBluetoothBus.h"

namespace sim {

using devio::IBluetoothDevice;

SimulatedBluetoothDevice::SimulatedBluetoothDevice(std::weak_ptr<SimulatedBluetoothBus> bus, Config config)
    : bus_(std::move(bus)), config_(std::move(config)) {}

bool SimulatedBluetoothDevice::connected() {
  std::lock_guard lock(mutex_);
  return paired_ && live_;
}

std::string SimulatedBluetoothDevice::pairedRadio() {
  std::lock_guard lock(mutex_);
  return paired_ ? config_.radio : std::string();
}

std::string SimulatedBluetoothDevice::connected_radio() { return pairedRadio(); }

bool SimulatedBluetoothDevice::verify_pairing() {
  std::lock_guard lock(mutex_);
  return paired_;
}

bool SimulatedBluetoothDevice::radio_present() {
  const std::string radio = pairedRadio();
  const auto bus = bus_.lock();
  return !radio.empty() && bus && bus->hasRadio(radio);
}

std::weak_ptr<devio::IBluetoothBus> SimulatedBluetoothDevice::bus() { return bus_; }

void SimulatedBluetoothDevice::setLive(bool live) {
  std::lock_guard lock(mutex_);
  live_ = live;
}

void SimulatedBluetoothDevice::fastConnect() {
  setLive(true);
  const std::string radio = config_.radio;
  Producer<BtFastConnect>::produce([radio](BtFastConnect* s) { s->onBtFastConnect(radio); },
                                   "SimulatedBluetoothDevice::BtFastConnect::onBtFastConnect");
}

void SimulatedBluetoothDevice::fastDisconnect() {
  setLive(false);
  Producer<BtFastConnect>::produce([](BtFastConnect* s) { s->onBtFastDisconnect(); },
                                   "SimulatedBluetoothDevice::BtFastConnect::onBtFastDisconnect");
}

void SimulatedBluetoothDevice::slowConnect() {
  const std::string radio = config_.radio;
  Producer<BtConnect>::produce([radio](BtConnect* s) { s->onBtConnect(radio); }, "SimulatedBluetoothDevice::BtConnect::onBtConnect");
}

void SimulatedBluetoothDevice::slowDisconnect() {
  Producer<BtConnect>::produce([](BtConnect* s) { s->onBtDisconnect(); }, "SimulatedBluetoothDevice::BtConnect::onBtDisconnect");
}

void SimulatedBluetoothDevice::connect() {
  fastConnect();
  slowConnect();
}

void SimulatedBluetoothDevice::disconnect() {
  fastDisconnect();
  slowDisconnect();
}

void SimulatedBluetoothDevice::losePairing() {
  {
    std::lock_guard lock(mutex_);
    paired_ = false;
  }
  if (auto bus = bus_.lock()) bus->forget(this);
}

void SimulatedBluetoothDevice::unpair() {
  losePairing();
  const std::string radio = config_.radio;
  Producer<BtUnpair>::produce([radio](BtUnpair* s) { s->onBtUnpair(radio); }, "SimulatedBluetoothDevice::BtUnpair::onBtUnpair");
}

}  // namespace sim
