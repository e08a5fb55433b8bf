#include "devio/receivers/CorvaneBus.h"

#include <algorithm>

#include "devio/protocol/LastError.h"
#include "devio/protocol/Velo10Command.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::CorvaneBus::" #name

namespace devio {

namespace {

constexpr const char* kTag = "CorvaneBus";
std::atomic<int> gInstances{0};

// Registers and notifications of the receiver.
constexpr Byte kNotificationFlags = 0x00;
constexpr Byte kSlotFlags = 0x03;
constexpr Byte kConnectionControl = 0xB2;
constexpr Byte kActivity = 0xB3;
constexpr Byte kWirelessNotifications = 0x01;  // byte 5 of register 0x00
constexpr Byte kSoftwarePresent = 0x08;        // byte 5 of register 0x00
constexpr Byte kOpenLock = 0x01;
constexpr Byte kCloseLock = 0x02;
constexpr Byte kUnpair = 0x03;
constexpr Byte kDisconnection = 0x40;
constexpr Byte kConnection = 0x41;
constexpr Byte kLockChange = 0x4A;
constexpr Byte kPairingRemoved = 0x02;
constexpr Byte kLinkNotEstablished = 0x40;
constexpr std::size_t kActivityAnswerLength = 10;

}  // namespace

std::shared_ptr<CorvaneBus> CorvaneBus::create(std::weak_ptr<IDeviceManager> manager,
                                               std::shared_ptr<IHardwareDevice> channel, int slotCount,
                                               int protocolByte, std::shared_ptr<Clock> clock) {
  return std::shared_ptr<CorvaneBus>(
      new CorvaneBus(std::move(manager), std::move(channel), slotCount, protocolByte, std::move(clock)));
}

CorvaneBus::CorvaneBus(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> channel,
                       int slotCount, int protocolByte, std::shared_ptr<Clock> clock)
    : Device(std::move(manager), std::move(channel), std::move(clock)),
      slotCount_(slotCount),
      protocolByte_(static_cast<Byte>(protocolByte)),
      children_(static_cast<std::size_t>(slotCount)) {
  xLog(kTag, LogDebug, FN(CorvaneBus), "CorvaneBus::CorvaneBus(this = %p). Number of instances now: %d",
       static_cast<void*>(this), ++gInstances);
}

CorvaneBus::~CorvaneBus() {
  // The channel's read thread and the run loop must not reach this object's handlers while its
  // members go; the Device base leaves its producers only after them.
  Subscriber<IHardwareDevice::Read>::unsubscribe_all();
  writeRouter_.unsubscribe_all();
  Subscriber<IReceiver::RegisterZeroOverwritten>::unsubscribe_all();
  Subscriber<IDeviceManager::ActiveChanged>::unsubscribe_all();
  xLog(kTag, LogDebug, FN(~CorvaneBus), "CorvaneBus::~CorvaneBus(this = %p). Number of instances now: %d",
       static_cast<void*>(this), --gInstances);
}

std::shared_ptr<CorvaneBus> CorvaneBus::self() {
  return std::static_pointer_cast<CorvaneBus>(weak_from_this().lock());
}

std::shared_ptr<CorvaneDevice> CorvaneBus::child(int slot) {
  std::lock_guard lock(childrenMutex_);
  return slot >= 0 && slot < slotCount_ ? children_[static_cast<std::size_t>(slot)] : nullptr;
}

// ---- registers ----

bool CorvaneBus::short_register_bit_operation(Byte reg, std::array<Byte, 3> set, std::array<Byte, 3> clear) {
  xLog(kTag, LogDebug, FN(short_register_bit_operation),
       "CorvaneBus::short_register_bit_operation(%02x: set %02x %02x %02x clear %02x %02x %02x ) enter", reg, set[0],
       set[1], set[2], clear[0], clear[1], clear[2]);
  const auto fail = [] {
    xLog(kTag, LogError, FN(short_register_bit_operation), "CorvaneBus::short_register_bit_operation exit (false, error)");
    return false;
  };
  Bytes answer;
  if (!sendSynchronousCommand(velo::buildRegisterRequest(velo::GetShortRegister, reg), &answer, false, {})) return fail();
  if (answer.size() < velo::ShortReportLength) {
    LastError::set(CommandResponseTooShort);
    return fail();
  }
  std::array<Byte, 3> value{};
  for (std::size_t i = 0; i < value.size(); ++i) {
    value[i] = static_cast<Byte>(set[i] | (answer[4 + i] & ~clear[i]));
  }
  if (std::equal(value.begin(), value.end(), answer.begin() + 4)) {
    xLog(kTag, LogDebug, FN(short_register_bit_operation), "CorvaneBus::short_register_bit_operation exit (true, no change)");
    return true;
  }
  if (!sendSynchronousCommand(velo::buildRegisterRequest(velo::SetShortRegister, reg, value[0], value[1], value[2]),
                              &answer, false, {})) {
    return fail();
  }
  if (answer.size() < velo::ShortReportLength) {
    LastError::set(CommandResponseTooShort);
    return fail();
  }
  xLog(kTag, LogDebug, FN(short_register_bit_operation), "CorvaneBus::short_register_bit_operation exit (true, success)");
  return true;
}

void CorvaneBus::startMonitoring() {
  std::lock_guard lock(monitorMutex_);
  if (monitoring_) return;
  // Through the run loop: the repair sends commands, which the read thread that sees the
  // overwrite must not.
  monitoring_ = Subscriber<IReceiver::RegisterZeroOverwritten>::subscribe(self(), RunLoop);
  if (!monitoring_) {
    xLog(kTag, LogWarning, FN(startMonitoring), "could not monitor register 0, err=%d",
         static_cast<int>(LastError::get().code));
  }
}

bool CorvaneBus::enable_receiver_notifications() {
  if (notificationsEnabled_) return true;
  startMonitoring();
  if (!short_register_bit_operation(kNotificationFlags, {0, kWirelessNotifications, 0}, {0, 0, 0})) {
    xLog(kTag, LogError, FN(enable_receiver_notifications), "CorvaneBus::enable_receiver_notifications exit (false, error)");
    return false;
  }
  notificationsEnabled_ = true;
  return true;
}

bool CorvaneBus::set_software_present() {
  if (softwarePresent_) return true;
  startMonitoring();
  if (!short_register_bit_operation(kNotificationFlags, {0, kSoftwarePresent, 0}, {0, 0, 0})) return false;
  softwarePresent_ = true;
  return true;
}

bool CorvaneBus::set_slot_flag(int slot) {
  return short_register_bit_operation(kSlotFlags, {static_cast<Byte>(1u << slot), 0, 0}, {0, 0, 0});
}

bool CorvaneBus::clearSoftwarePresent() {
  if (!softwarePresent_) return true;
  if (!short_register_bit_operation(kNotificationFlags, {0, 0, 0}, {0, kSoftwarePresent, 0})) {
    LastError::set(GeneralError, 0, "could not clear the software-present bit");
    return false;
  }
  softwarePresent_ = false;
  return true;
}

bool CorvaneBus::shutdown_receiver() { return clearSoftwarePresent(); }

bool CorvaneBus::shutdown() {
  const bool cleared = clearSoftwarePresent();
  const bool shut = Device::shutdown();
  return cleared && shut;
}

void CorvaneBus::onRegisterZeroOverwritten() {
  if (softwarePresent_) {
    xLog(kTag, LogInfo, FN(onRegisterZeroOverwritten),
         "CorvaneBus::onRegisterZeroOverwritten() restoring software present and wireless notifications bits");
  } else {
    xLog(kTag, LogInfo, FN(onRegisterZeroOverwritten),
         "CorvaneBus::onRegisterZeroOverwritten() no devices configured, so restoring only wireless notifications bit");
  }
  const Byte bits = softwarePresent_ ? Byte(kWirelessNotifications | kSoftwarePresent) : kWirelessNotifications;
  if (!short_register_bit_operation(kNotificationFlags, {0, bits, 0}, {0, 0, 0})) {
    xLog(kTag, LogError, FN(onRegisterZeroOverwritten), "CorvaneBus::onRegisterZeroOverwritten error setting register");
  }
}

// ---- IReceiver ----

std::vector<std::shared_ptr<IDevice>> CorvaneBus::paired_devices() {
  const auto manager = device_manager().lock();
  return manager ? manager->devices_on_bus(shared_from_this()) : std::vector<std::shared_ptr<IDevice>>{};
}

bool CorvaneBus::refresh_activity() {
  Bytes answer;
  if (!sendSynchronousCommand(velo::buildRegisterRequest(velo::GetLongRegister, kActivity), &answer, false, {})) {
    return false;
  }
  std::lock_guard lock(childrenMutex_);
  if (answer.size() >= kActivityAnswerLength) std::copy_n(answer.begin() + 4, activity_.size(), activity_.begin());
  for (std::size_t slot = 0; slot < children_.size(); ++slot) {
    if (children_[slot]) children_[slot]->setActivity(slot < activity_.size() ? activity_[slot] : 0);
  }
  return true;
}

bool CorvaneBus::is_compact() {
  const int id = pid();
  return id == 0x7335 || id == 0x7342;
}

bool CorvaneBus::connectionControl(Byte action, Byte index) {
  Bytes answer;
  if (!sendSynchronousCommand(velo::buildRegisterRequest(velo::SetShortRegister, kConnectionControl, action, index),
                              &answer, false, {})) {
    xLog(kTag, LogError, FN(Velo_DEVICE_CONNECTION_AND_DISCONNECTION),
         "CorvaneBus::Velo_DEVICE_CONNECTION_AND_DISCONNECTION exit (false, error)");
    return false;
  }
  if (answer.size() <= 6) {
    xLog(kTag, LogError, FN(Velo_DEVICE_CONNECTION_AND_DISCONNECTION),
         "CorvaneBus::Velo_DEVICE_CONNECTION_AND_DISCONNECTION exit (false, CommandResponseTooShort)");
    LastError::set(CommandResponseTooShort);
    return false;
  }
  return true;
}

bool CorvaneBus::open_lock() { return connectionControl(kOpenLock, 0); }
bool CorvaneBus::close_lock() { return connectionControl(kCloseLock, 0); }
bool CorvaneBus::unpair(int index) { return connectionControl(kUnpair, static_cast<Byte>(index)); }

// ---- enumeration ----

bool CorvaneBus::on_subscribe(IHardwareBus::PlugUnplug*) {
  if (!active()) {
    xLog(kTag, LogDebug, FN(on_subscribe), "-- device is inactive, not enabling receiver_notifications yet");
    return true;
  }
  return enable_receiver_notifications();
}

std::vector<std::shared_ptr<IHardwareDevice>> CorvaneBus::enumerate() {
  if (!active()) {
    xLog(kTag, LogInfo, FN(devices),
         "CorvaneBus::devices() - device is inactive. Not enumerating devices (we will do that when we become active again).");
    LastError::set(Success);
    return {};
  }
  std::lock_guard lock(enumerationMutex_);
  return enumerateLocked();
}

std::vector<std::shared_ptr<IHardwareDevice>> CorvaneBus::enumerateLocked() {
  if (!enable_receiver_notifications()) {
    xLog(kTag, LogError, FN(devices), "CorvaneBus::devices exit (failed to enable receiver notifications)");
    return {};
  }
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    int count = 0;
    if (!Velo10Command::read_receiver_connection_state(this, &count, nullptr)) {
      xLog(kTag, LogError, FN(devices), "CorvaneBus::devices exit (failed to read receiver device count)");
      return {};
    }
    deviceCount_ = count;
    {
      std::lock_guard arrivalsLock(arrivalsMutex_);
      arrivals_.clear();
    }
    xLog(kTag, LogInfo, FN(devices), "CorvaneBus::devices() - there are %d devices connected to the Corvane receiver.",
         count);
    xLog(kTag, LogInfo, FN(devices), "===> Starting receiver enumeration...");
    // The replayed arrivals are read and handled before the command's own answer comes.
    enumerating_ = true;
    const bool replayed = Velo10Command::set_receiver_connection_state(this);
    enumerating_ = false;
    xLog(kTag, LogInfo, FN(devices), "===> ...receiver enumeration complete.");
    if (!replayed) {
      xLog(kTag, LogError, FN(devices), "CorvaneBus::devices exit (failed fake device arrival request)");
      return {};
    }
    int arrived = 0;
    {
      std::lock_guard arrivalsLock(arrivalsMutex_);
      arrived = static_cast<int>(arrivals_.size());
    }
    if (arrived == count) break;
    xLog(kTag, LogError, FN(devices),
         "CorvaneBus::devices() - %d devices reported by receiver but only %d arrival reports received. Retrying.", count,
         arrived);
    LastError::set(ArrivalCountMismatch, 0, "Corvane device arrival unique count mismatch");
    if (const auto manager = device_manager().lock()) manager->report_unreported_error("CorvaneBus::devices");
    if (attempt == 0) {
      notificationsEnabled_ = false;
      enable_receiver_notifications();
    }
  }
  std::vector<std::shared_ptr<IHardwareDevice>> result;
  {
    std::lock_guard childrenLock(childrenMutex_);
    for (const auto& child : children_) {
      if (child) result.push_back(child);
    }
  }
  xLog(kTag, LogInfo, FN(devices), "CorvaneBus::devices exit (success, returning %d devices)",
       static_cast<int>(result.size()));
  if (result.empty()) LastError::set(Success);
  return result;
}

void CorvaneBus::onActiveChanged(bool active) {
  const bool wasActive = this->active();
  Device::onActiveChanged(active);
  if (active && !wasActive) reenumerate();
}

void CorvaneBus::reenumerate() {
  std::lock_guard lock(enumerationMutex_);
  std::vector<std::shared_ptr<CorvaneDevice>> before;
  {
    std::lock_guard childrenLock(childrenMutex_);
    before.swap(children_);
    children_.resize(before.size());
  }
  enumerateLocked();
  std::vector<std::shared_ptr<CorvaneDevice>> after;
  {
    std::lock_guard childrenLock(childrenMutex_);
    after = children_;
  }
  const auto samePid = [](const std::shared_ptr<CorvaneDevice>& a, const std::shared_ptr<CorvaneDevice>& b) {
    return a && b ? a->pid() == b->pid() : !a && !b;
  };
  if (std::equal(before.begin(), before.end(), after.begin(), after.end(), samePid)) {
    xLog(kTag, LogInfo, FN(onActiveChanged), "  -- No devices have changed before session became active.");
    // The manager holds the earlier objects: they stay, with the link state just reported.
    {
      std::lock_guard childrenLock(childrenMutex_);
      children_ = before;
    }
    for (std::size_t slot = 0; slot < before.size(); ++slot) {
      if (!before[slot] || before[slot]->connected() == after[slot]->connected()) continue;
      if (after[slot]->connected()) {
        before[slot]->processConnect();
      } else {
        before[slot]->processDisconnect();
      }
    }
    return;
  }
  for (const auto& child : before) {
    if (child) produceUnplug(child);
  }
  for (const auto& child : after) {
    if (child) producePlug(child);
  }
}

// ---- reports (read thread) ----

void CorvaneBus::onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) {
  if (report.size() > 6) handleReport(report);
  Device::onRead(std::move(report), index_is_self, system_error, length);
}

void CorvaneBus::handleReport(const Bytes& report) {
  const Byte index = report[1];
  const Byte subId = report[2];
  if (subId == kConnection && report[3] == protocolByte_ && validIndex(index)) {
    const auto qid = static_cast<std::uint16_t>(report[5] | (report[6] << 8));
    const bool connected = (report[4] & kLinkNotEstablished) == 0;
    xLog(kTag, LogInfo, FN(onRead), "CorvaneBus::onRead() connect(index = %d, qid=0x%04x, connected=%d)", index, qid,
         connected ? 1 : 0);
    if (device_manager().lock()) perform_arrival(index - 1, qid, connected, enumerating_);
  } else if (subId == kDisconnection && report[3] == kPairingRemoved && validIndex(index)) {
    xLog(kTag, LogInfo, FN(onRead), "CorvaneBus::onRead() disconnect(index = %d)", index);
    perform_removal(index - 1);
  } else if (subId == kLockChange) {
    const std::shared_ptr<IDevice> receiver = shared_from_this();
    const Byte state = report[3];
    const Byte error = report[4];
    Producer<IReceiver::LockingChange>::produce(
        [receiver, state, error](IReceiver::LockingChange* s) { s->onLockingChange(receiver, state, error); },
        "CorvaneBus::LockingChange::onLockingChange");
  } else if (index == velo::DeviceIndexSelf && subId == velo::SetShortRegister && report[3] == kNotificationFlags) {
    xLog(kTag, LogInfo, FN(onRead),
         "CorvaneBus::onRead() detected write to receiver register 0, other software might have cleared software "
         "present and wireless notification bits");
    Producer<IReceiver::RegisterZeroOverwritten>::produce(
        [](IReceiver::RegisterZeroOverwritten* s) { s->onRegisterZeroOverwritten(); },
        "CorvaneBus::RegisterZeroOverwritten::onRegisterZeroOverwritten");
  } else if (validIndex(index) && subId != kDisconnection && subId != kConnection) {
    const auto device = child(index - 1);
    if (!device) return;
    device->handRead(report);
    if (device->connected()) return;
    if (subId == velo::Velo10ErrorSubId) {
      xLog(kTag, LogInfo, FN(onRead),
           "Got error response from unconnected device... maybe some other SW tried to talk to it and failed");
    } else {
      xLog(kTag, LogInfo, FN(onRead),
           "CorvaneBus::onRead() device index: %d pid: 0x%x was in disconnected state but is sending reports. Firing "
           "connected event.",
           index, device->pid());
      perform_connect(index - 1);
    }
  }
}

void CorvaneBus::perform_arrival(int slot, std::uint16_t pid, bool connected, bool fake_device_arrival) {
  xLog(kTag, LogInfo, FN(perform_arrival), "CorvaneBus::perform_arrival(qid=%0x, connected=%d, fake_device_arrival=%d)",
       pid, connected ? 1 : 0, fake_device_arrival ? 1 : 0);
  const auto existing = child(slot);
  if (existing && existing->pid() != pid) {
    perform_disconnect(slot);
    perform_removal(slot);
  }
  std::shared_ptr<CorvaneDevice> created;
  {
    std::lock_guard lock(childrenMutex_);
    auto& entry = children_[static_cast<std::size_t>(slot)];
    if (!entry) {
      entry = created = std::make_shared<CorvaneDevice>(self(), slot, pid, connected);
      if (static_cast<std::size_t>(slot) < activity_.size()) entry->setActivity(activity_[static_cast<std::size_t>(slot)]);
    }
  }
  if (connected) {
    perform_connect(slot);
  } else {
    perform_disconnect(slot);
  }
  if (fake_device_arrival) {
    std::lock_guard lock(arrivalsMutex_);
    ++arrivals_[slot];
    xLog(kTag, LogDebug, FN(perform_arrival), "   -- arrival count so far: %d", static_cast<int>(arrivals_.size()));
  } else if (created) {
    producePlug(created);
  }
}

void CorvaneBus::perform_connect(int slot) {
  if (const auto device = child(slot)) {
    device->processConnect();
  } else {
    xLog(kTag, LogWarning, FN(perform_connect), "CorvaneBus::perform_connect(index = %d) : no device at this index!", slot);
  }
}

void CorvaneBus::perform_disconnect(int slot) {
  if (const auto device = child(slot)) {
    device->processDisconnect();
  } else {
    xLog(kTag, LogWarning, FN(perform_disconnect), "CorvaneBus::perform_disconnect(index = %d) : no device at this index!",
         slot);
  }
}

// The manager knows a channel by its object, so the removal names the child it announced.
void CorvaneBus::perform_removal(int slot) {
  std::shared_ptr<CorvaneDevice> removed;
  {
    std::lock_guard lock(childrenMutex_);
    removed.swap(children_[static_cast<std::size_t>(slot)]);
  }
  if (removed) produceUnplug(removed);
}

void CorvaneBus::producePlug(const std::shared_ptr<CorvaneDevice>& device) {
  const std::shared_ptr<IHardwareDevice> channel = device;
  Producer<IHardwareBus::PlugUnplug>::produce([channel](IHardwareBus::PlugUnplug* s) { s->onPlug(channel); },
                                              "CorvaneBus::PlugUnplug::onPlug");
}

void CorvaneBus::produceUnplug(const std::shared_ptr<CorvaneDevice>& device) {
  const std::shared_ptr<IHardwareDevice> channel = device;
  Producer<IHardwareBus::PlugUnplug>::produce([channel](IHardwareBus::PlugUnplug* s) { s->onUnplug(channel); },
                                              "CorvaneBus::PlugUnplug::onUnplug");
}

// ---- write completions ----

bool CorvaneBus::route_writes() {
  std::lock_guard lock(routerMutex_);
  if (!routing_) routing_ = writeRouter_.subscribe(hardware(), Direct);
  return routing_;
}

void CorvaneBus::WriteRouter::onWrite(Bytes report, ErrorCode error, unsigned system_error) {
  if (report.size() < 2 || !bus_.validIndex(report[1])) return;
  if (const auto device = bus_.child(report[1] - 1)) device->handWrite(std::move(report), error, system_error);
}

}  // namespace devio
