#include "devio/win32/BluetoothMicrosoftDevice.h"

#include <cstdio>

#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/BluetoothMicrosoftBus.h"

#define FN(name) "devio::BluetoothMicrosoftDevice::" #name

namespace devio {

namespace {
constexpr const char* kTag = "Untagged";
}

BluetoothMicrosoftDevice::BluetoothMicrosoftDevice(std::weak_ptr<BluetoothMicrosoftBus> bus, std::uint64_t address, int busType)
    : bus_(std::move(bus)), address_(address), busType_(busType) {}

std::string BluetoothMicrosoftDevice::addressText(std::uint64_t address) {
  const auto byte = [address](int i) { return static_cast<unsigned>((address >> (8 * i)) & 0xFF); };
  char text[20];
  std::snprintf(text, sizeof text, "%02X%02X:%02X:%02X%02X%02X", byte(5), byte(4), byte(3), byte(2), byte(1), byte(0));
  return text;
}

std::string BluetoothMicrosoftDevice::address() { return addressText(address_); }

std::weak_ptr<IBluetoothBus> BluetoothMicrosoftDevice::bus() { return bus_; }

std::shared_ptr<BluetoothMicrosoftBus> BluetoothMicrosoftDevice::startedBus(const char* failure) {
  auto bus = bus_.lock();
  if (!bus) {
    LastError::set(Unavailable);
  } else if (bus->lazy_start()) {
    return bus;
  }
  if (failure) xLog(kTag, LogDebug, FN(startedBus), "%s", failure);
  return nullptr;
}

bool BluetoothMicrosoftDevice::connected() {
  const auto bus = startedBus("BluetoothMicrosoftDevice::connected exit, false - lazy start failed");
  if (!bus) return false;
  std::string radio;
  const bool linked = bus->get_connect_state_via_bgdi(address_, &radio);
  if (linked) {
    std::lock_guard lock(mutex_);
    radio_ = radio;
  }
  return linked;
}

std::string BluetoothMicrosoftDevice::connected_radio() {
  {
    std::lock_guard lock(mutex_);
    if (!radio_.empty()) return radio_;
  }
  if (verify_pairing()) {
    std::lock_guard lock(mutex_);
    return radio_;
  }
  return radioFromDeviceTree();
}

// No radio reports the device (its link is down, or the radio forgot it): the radio its HID
// interface hangs under in the device tree still holds the pairing, when that radio is present.
std::string BluetoothMicrosoftDevice::radioFromDeviceTree() {
  const auto bus = bus_.lock();
  std::string path;
  {
    std::lock_guard lock(mutex_);
    path = path_;
  }
  if (!bus || path.empty()) return {};
  const std::string radio = bus->find_radio_via_pnp(path);
  if (radio.empty() || !bus->radio_is_present(radio)) return {};
  std::lock_guard lock(mutex_);
  radio_ = radio;
  return radio;
}

void BluetoothMicrosoftDevice::rememberPath(const std::string& path) {
  std::lock_guard lock(mutex_);
  path_ = path;
}

bool BluetoothMicrosoftDevice::verify_pairing() {
  const auto bus = startedBus("BluetoothMicrosoftDevice::verify_pairing exit, false - lazy start failed");
  if (!bus) return false;
  std::string radio;
  if (!bus->verify_pairing_via_bgdi(address_, &radio)) return false;
  std::lock_guard lock(mutex_);
  radio_ = radio;
  return true;
}

bool BluetoothMicrosoftDevice::radio_present() {
  std::string radio;
  {
    std::lock_guard lock(mutex_);
    radio = radio_;
  }
  xLog(kTag, LogDebug, FN(visible), "BluetoothMicrosoftDevice::visible enter, checking radio %s", radio.c_str());
  const auto bus = bus_.lock();
  const bool present = bus && !radio.empty() && bus->radio_is_present(radio);
  xLog(kTag, LogDebug, FN(visible), present ? "BluetoothMicrosoftDevice::visible returning true, radio is present"
                                            : "BluetoothMicrosoftDevice::visible returning false, radio not present");
  return present;
}

std::string BluetoothMicrosoftDevice::name() {
  const auto bus = startedBus(nullptr);
  BLUETOOTH_DEVICE_INFO info{};
  std::string radio;
  if (!bus || !bus->device_info(address_, &info, &radio)) return {};
  return WideText::toUtf8(info.szName);
}

bool BluetoothMicrosoftDevice::on_subscribe(IBluetoothDevice::BtConnect*) { return startedBus(nullptr) != nullptr; }
bool BluetoothMicrosoftDevice::on_subscribe(IBluetoothDevice::BtFastConnect*) { return startedBus(nullptr) != nullptr; }
bool BluetoothMicrosoftDevice::on_subscribe(IBluetoothDevice::BtUnpair*) { return startedBus(nullptr) != nullptr; }

void BluetoothMicrosoftDevice::connect(const std::string& radio) {
  {
    std::lock_guard lock(mutex_);
    radio_ = radio;
  }
  Producer<BtFastConnect>::produce([radio](BtFastConnect* s) { s->onBtFastConnect(radio); },
                                   "BluetoothMicrosoftDevice::BtFastConnect::onBtFastConnect");
  Producer<BtConnect>::produce([radio](BtConnect* s) { s->onBtConnect(radio); }, "BluetoothMicrosoftDevice::BtConnect::onBtConnect");
}

void BluetoothMicrosoftDevice::disconnect() {
  Producer<BtFastConnect>::produce([](BtFastConnect* s) { s->onBtFastDisconnect(); },
                                   "BluetoothMicrosoftDevice::BtFastConnect::onBtFastDisconnect");
  Producer<BtConnect>::produce([](BtConnect* s) { s->onBtDisconnect(); }, "BluetoothMicrosoftDevice::BtConnect::onBtDisconnect");
}

void BluetoothMicrosoftDevice::unpair(const std::string& radio) {
  {
    std::lock_guard lock(mutex_);
    if (radio_ == radio) radio_.clear();
  }
  Producer<BtUnpair>::produce([radio](BtUnpair* s) { s->onBtUnpair(radio); }, "BluetoothMicrosoftDevice::BtUnpair::onBtUnpair");
}

}  // namespace devio
