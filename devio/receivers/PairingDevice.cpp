#include "devio/receivers/PairingDevice.h"

#include <utility>

#include "devio/protocol/LastError.h"
#include "devio/receivers/PairingBus.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::PairingDevice::" #name

namespace devio {

namespace {
constexpr const char* kTag = "PairingDevice";
constexpr int kGattBusType = 4;
constexpr int kLeBusType = 3;
constexpr const char* kGattInterface = "blepp";
constexpr const char* kHidOverLeInterface = "blevelo";
}  // namespace

PairingDevice::PairingDevice(std::weak_ptr<PairingBus> bus, std::string path, std::uint16_t pid, std::string name,
                             std::shared_ptr<IBluetoothDevice> btdev, int busType, bool useGatt, std::string radio)
    : bus_(std::move(bus)),
      path_(std::move(path)),
      pid_(pid),
      btdev_(std::move(btdev)),
      busType_(busType),
      useGatt_(useGatt),
      name_(std::move(name)),
      radio_(std::move(radio)),
      btConnected_(!btdev_) {}

std::shared_ptr<PairingDevice> PairingDevice::create(std::weak_ptr<PairingBus> bus,
                                                     const std::shared_ptr<IHardwareDevice>& hwdev,
                                                     std::shared_ptr<IBluetoothDevice> btdev) {
  const int busType = btdev ? btdev->bus_type() : hwdev->bus_type();
  std::string radio = btdev ? btdev->connected_radio() : std::string();
  auto device = std::shared_ptr<PairingDevice>(new PairingDevice(std::move(bus), hwdev->path(), hwdev->pid(), hwdev->name(),
                                                                 std::move(btdev), busType,
                                                                 hwdev->bus_type() == kGattBusType, std::move(radio)));
  device->hwdev_ = hwdev;
  device->seen_ = true;
  if (device->bluetooth()) {
    const bool live = device->btdev_->connected();
    device->realtimeBtConnected_ = live;
    device->btConnected_ = live;
    device->subscribeBluetooth();
  }
  return device;
}

std::shared_ptr<PairingDevice> PairingDevice::create(std::weak_ptr<PairingBus> bus, const PairingCacheFile::Entry& entry,
                                                     std::shared_ptr<IBluetoothDevice> btdev) {
  const int busType = btdev->bus_type();
  auto device = std::shared_ptr<PairingDevice>(new PairingDevice(std::move(bus), entry.path, entry.pid, entry.name,
                                                                 std::move(btdev), busType,
                                                                 entry.interface == kGattInterface, entry.radio));
  device->subscribeBluetooth();
  return device;
}

PairingDevice::~PairingDevice() {
  {
    std::lock_guard lock(btSubscribeMutex_);
    Subscriber<IBluetoothDevice::BtConnect>::unsubscribe_all();
    Subscriber<IBluetoothDevice::BtFastConnect>::unsubscribe_all();
    Subscriber<IBluetoothDevice::BtUnpair>::unsubscribe_all();
  }
  std::lock_guard lock(channelSubscribeMutex_);
  Subscriber<IHardwareDevice::Read>::unsubscribe_all();
  Subscriber<IHardwareDevice::Write>::unsubscribe_all();
}

void PairingDevice::subscribeBluetooth() {
  std::lock_guard lock(btSubscribeMutex_);
  // Direct: the link state must be current when the next write is decided.
  const bool subscribed = Subscriber<IBluetoothDevice::BtConnect>::subscribe(btdev_, Direct) &&
                          Subscriber<IBluetoothDevice::BtFastConnect>::subscribe(btdev_, Direct) &&
                          Subscriber<IBluetoothDevice::BtUnpair>::subscribe(btdev_, Direct);
  if (!subscribed) {
    xLog(kTag, LogWarning, FN(subscribeBluetooth), "PairingDevice could not subscribe to the Bluetooth device, err=%d",
         static_cast<int>(LastError::get().code));
  }
}

std::shared_ptr<IHardwareDevice> PairingDevice::channel() {
  std::lock_guard lock(mutex_);
  return hwdev_;
}

bool PairingDevice::hasChannel() { return channel() != nullptr; }

std::string PairingDevice::radio() {
  std::lock_guard lock(mutex_);
  return radio_;
}

std::weak_ptr<IHardwareBus> PairingDevice::bus() { return bus_; }

bool PairingDevice::connected() {
  if (!bluetooth()) {
    xLog(kTag, LogDebug, FN(connected), "PairingDevice::connected returning true (corded device always connected)");
    return true;
  }
  const bool live = btdev_->connected();
  realtimeBtConnected_ = live;
  if (live) {
    linkUp(btdev_->connected_radio());
  } else {
    linkDown();
  }
  std::lock_guard lock(mutex_);
  const bool result = hwdev_ && btConnected_;
  xLog(kTag, LogDebug, FN(connected), "PairingDevice::connected returning (_hwdev=%d && radio=%d) = %d", hwdev_ ? 1 : 0,
       btConnected_ ? 1 : 0, result ? 1 : 0);
  return result;
}

bool PairingDevice::open() {
  std::shared_ptr<IHardwareDevice> hwdev;
  {
    std::lock_guard lock(mutex_);
    if (btConnected_) hwdev = hwdev_;
  }
  if (!hwdev) {
    xLog(kTag, LogDebug, FN(open), "PairingDevice::open exit (true)");
    return true;
  }
  xLog(kTag, LogDebug, FN(open), "PairingDevice::open _bt_connected is true, so opening _hwdev");
  return hwdev->open();
}

void PairingDevice::close() {
  if (auto hwdev = channel()) hwdev->close();
}

bool PairingDevice::write(Bytes report, bool synchronous) {
  std::shared_ptr<IHardwareDevice> hwdev;
  if (!bluetooth() || realtimeBtConnected_) {
    std::lock_guard lock(mutex_);
    if (btConnected_) hwdev = hwdev_;
  }
  if (hwdev) return hwdev->write(std::move(report), synchronous);
  xLog(kTag, LogDebug, FN(write), "PairingDevice::write not _realtime_bt_connected so returning NotConnected");
  Producer<IHardwareDevice::Write>::produce([](IHardwareDevice::Write* s) { s->onWrite({}, NotConnected, 0); },
                                            "PairingDevice::Write::onWrite");
  LastError::set(NotConnected);
  return false;
}

std::string PairingDevice::name() {
  {
    std::lock_guard lock(mutex_);
    if (!name_.empty() || !btdev_) return name_;
  }
  std::string name = btdev_->name();
  std::lock_guard lock(mutex_);
  if (name_.empty()) name_ = std::move(name);
  return name_;
}

int PairingDevice::link_index() {
  if (busType_ != kLeBusType) return 0;
  return useGatt_ ? 2 : 1;
}

bool PairingDevice::verify_connection_following_timeout() {
  std::shared_ptr<IHardwareDevice> hwdev;
  std::shared_ptr<IHardwareDevice> monitor;
  {
    std::lock_guard lock(mutex_);
    hwdev = hwdev_;
    monitor = monitor_;
  }
  if (!hwdev || !hwdev->verify_connection_following_timeout()) return false;
  if (monitor && !monitor->verify_connection_following_timeout()) {
    xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
         "PairingDevice::verify_connection_following_timeout monitor %s is lost", monitor->path().c_str());
    return false;
  }
  if (btdev_ && !btdev_->verify_connection_following_timeout()) {
    xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
         "PairingDevice::_btdev->verify_connection_following_timeout() result from btdev is false");
    return false;
  }
  return true;
}

bool PairingDevice::visible() {
  if (!bluetooth()) {
    xLog(kTag, LogVerbose, FN(visible), "PairingDevice::visible not a bt device");
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    if (radio_.empty()) {
      xLog(kTag, LogDebug, FN(visible), "PairingDevice::visible returning false, not paired");
      return false;
    }
    if (!seen_) {
      xLog(kTag, LogDebug, FN(visible), "PairingDevice::visible returning false, known only from the cache");
      return false;
    }
  }
  return btdev_->radio_present();
}

PairingCacheFile::Entry PairingDevice::entry() {
  const std::string interface = busType_ != kLeBusType ? "" : useGatt_ ? kGattInterface : kHidOverLeInterface;
  std::lock_guard lock(mutex_);
  return {path_, pid_, name_, radio_, interface};
}

// ---- the channel ----

void PairingDevice::attach(const std::shared_ptr<IHardwareDevice>& hwdev) {
  bool linked = false;
  {
    std::lock_guard subscriptions(channelSubscribeMutex_);
    {
      std::lock_guard lock(mutex_);
      hwdev_ = hwdev;
      seen_ = true;
      linked = btConnected_;
    }
    if (readers_ > 0 && !Subscriber<IHardwareDevice::Read>::subscribe(hwdev, Direct)) {
      xLog(kTag, LogWarning, FN(attach), "PairingDevice::attach could not subscribe to read the channel");
    }
    if (writeLoggers_ > 0 && !Subscriber<IHardwareDevice::Write>::subscribe(hwdev, Direct)) {
      xLog(kTag, LogWarning, FN(attach), "PairingDevice::attach could not subscribe to writes of the channel");
    }
  }
  // While the link is down its return announces the device.
  if (linked) produceConnect(true);
}

void PairingDevice::detach() {
  bool linked = false;
  {
    std::lock_guard subscriptions(channelSubscribeMutex_);
    std::shared_ptr<IHardwareDevice> hwdev;
    {
      std::lock_guard lock(mutex_);
      hwdev = std::exchange(hwdev_, nullptr);
      linked = btConnected_;
    }
    if (!hwdev) return;
    Subscriber<IHardwareDevice::Read>::unsubscribe(hwdev);
    Subscriber<IHardwareDevice::Write>::unsubscribe(hwdev);
  }
  if (linked) produceConnect(false);
}

// The first subscriber of an event subscribes this device to that event of the channel; the last
// one leaving ends it. Not under mutex_: the channel's producer lock is held while its reads reach
// the device object, which may hold its command lock and call open().
template <class E>
bool PairingDevice::firstSubscriber(std::atomic<int>& count, const char* failure) {
  std::lock_guard subscriptions(channelSubscribeMutex_);
  const auto hwdev = channel();
  if (count++ > 0 || !hwdev) return true;
  if (Subscriber<E>::subscribe(hwdev, Direct)) return true;
  xLog(kTag, LogDebug, FN(on_subscribe), "%s", failure);
  --count;
  return false;
}

template <class E>
void PairingDevice::subscriberLeft(std::atomic<int>& count) {
  std::lock_guard subscriptions(channelSubscribeMutex_);
  const auto hwdev = channel();
  if (--count > 0 || !hwdev) return;
  Subscriber<E>::unsubscribe(hwdev);
}

bool PairingDevice::on_subscribe(IHardwareDevice::Read*) {
  return firstSubscriber<IHardwareDevice::Read>(readers_, "PairingDevice::on_subscribe exit (false, could not subscribe to read)");
}

void PairingDevice::on_unsubscribe(IHardwareDevice::Read*) { subscriberLeft<IHardwareDevice::Read>(readers_); }

bool PairingDevice::on_subscribe(IHardwareDevice::Write*) {
  return firstSubscriber<IHardwareDevice::Write>(writeLoggers_,
                                                 "PairingDevice::on_subscribe exit (false, could not subscribe to writes)");
}

void PairingDevice::on_unsubscribe(IHardwareDevice::Write*) { subscriberLeft<IHardwareDevice::Write>(writeLoggers_); }

void PairingDevice::onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) {
  Producer<IHardwareDevice::Read>::produce(
      [report, index_is_self, system_error, length](IHardwareDevice::Read* s) { s->onRead(report, index_is_self, system_error, length); },
      "PairingDevice::Read::onRead");
}

void PairingDevice::onWrite(Bytes report, ErrorCode error, unsigned system_error) {
  Producer<IHardwareDevice::Write>::produce(
      [report, error, system_error](IHardwareDevice::Write* s) { s->onWrite(report, error, system_error); },
      "PairingDevice::Write::onWrite");
}

// ---- the link ----

void PairingDevice::linkUp(const std::string& radio) {
  std::shared_ptr<IHardwareDevice> toOpen;
  bool wasConnected = false;
  bool radioChanged = false;
  {
    std::lock_guard lock(mutex_);
    wasConnected = btConnected_;
    radioChanged = !radio.empty() && radio != radio_;
    if (wasConnected && !radioChanged) return;
    if (!wasConnected) {
      xLog(kTag, LogDebug, FN(onBtConnect), "PairingDevice::onBtConnect setting _bt_connected to true");
      btConnected_ = true;
      if (readers_ > 0) toOpen = hwdev_;
    }
    if (radioChanged) {
      xLog(kTag, LogDebug, FN(onBtConnect), "PairingDevice::onBtConnect device now paired to radio");
      radio_ = radio;
    }
  }
  if (toOpen) {
    xLog(kTag, LogDebug, FN(onBtConnect), "PairingDevice::onBtConnect reading so ensure hwdev is open");
    toOpen->open();
  }
  if (radioChanged) pairingChanged();
  if (!wasConnected) produceConnect(true);
}

void PairingDevice::linkDown() {
  {
    std::lock_guard lock(mutex_);
    if (!btConnected_) return;
    btConnected_ = false;
  }
  produceConnect(false);
}

void PairingDevice::produceConnect(bool connected) {
  std::shared_ptr<IHardwareDevice> self = shared_from_this();
  if (connected) {
    Producer<IHardwareDevice::Connect>::produce([self](IHardwareDevice::Connect* s) { s->onConnect(self); },
                                                "PairingDevice::Connect::onConnect");
  } else {
    Producer<IHardwareDevice::Connect>::produce([self](IHardwareDevice::Connect* s) { s->onDisconnect(self); },
                                                "PairingDevice::Connect::onDisconnect");
  }
}

void PairingDevice::pairingChanged() {
  if (auto bus = bus_.lock()) bus->write_data();
}

void PairingDevice::onBtConnect(std::string radio) { linkUp(radio); }

void PairingDevice::onBtDisconnect() { linkDown(); }

void PairingDevice::onBtPairingUpdate(std::string radio) {
  {
    std::lock_guard lock(mutex_);
    xLog(kTag, LogDebug, FN(onBtPairingUpdate), "PairingDevice::onBtPairingResolve enter, device was radio=%s, now radio=%s",
         radio_.c_str(), radio.c_str());
    if (radio_ == radio) return;
    radio_ = std::move(radio);
  }
  pairingChanged();
}

void PairingDevice::onBtFastConnect(std::string) {
  xLog(kTag, LogDebug, FN(onBtFastConnect), "PairingDevice::onBtFastConnect _realtime_bt_connected=%d->1",
       realtimeBtConnected_.exchange(true) ? 1 : 0);
}

void PairingDevice::onBtFastDisconnect() {
  xLog(kTag, LogDebug, FN(onBtFastDisconnect), "PairingDevice::onBtFastDisconnect realtime_bt_connected=%d->0",
       realtimeBtConnected_.exchange(false) ? 1 : 0);
}

void PairingDevice::onBtUnpair(std::string radio) {
  {
    std::lock_guard lock(mutex_);
    if (radio != radio_) {
      xLog(kTag, LogDebug, FN(onBtUnpair), "PairingDevice::onBtUnpair wrong radio unpaired: %s", radio.c_str());
      return;
    }
    radio_.clear();
  }
  xLog(kTag, LogDebug, FN(onBtUnpair), "PairingDevice::onBtUnpair telling bus about unpairing");
  if (auto bus = bus_.lock()) bus->process_unpair(shared_from_this());
}

bool PairingDevice::verify_pairing() {
  if (!btdev_->verify_pairing()) {
    xLog(kTag, LogDebug, FN(verify_pairing), "PairingDevice verify_pairing failed");
    return false;
  }
  std::string radio = btdev_->connected_radio();
  std::lock_guard lock(mutex_);
  if (!radio.empty()) radio_ = std::move(radio);
  return true;
}

bool PairingDevice::monitorable() const { return busType_ == kLeBusType && !useGatt_; }

bool PairingDevice::hasMonitor() {
  std::lock_guard lock(mutex_);
  return monitor_ != nullptr;
}

void PairingDevice::setMonitor(std::shared_ptr<IHardwareDevice> monitor) {
  std::lock_guard lock(mutex_);
  monitor_ = std::move(monitor);
}

bool PairingDevice::remove_radio(const std::string& radio) {
  std::lock_guard lock(mutex_);
  if (radio_ != radio) return false;
  radio_.clear();
  return seen_;
}

}  // namespace devio
