#include "sim/SimulatedReceiver.h"

#include <algorithm>

#include "devio/protocol/VeloMessage.h"

namespace sim {

using devio::Byte;
using devio::Bytes;

namespace {

constexpr Byte kNotificationFlags = 0x00;
constexpr Byte kConnectionState = 0x02;
constexpr Byte kSlotFlags = 0x03;
constexpr Byte kPairingControl = 0xB2;
constexpr Byte kActivity = 0xB3;
constexpr Byte kPairingInformation = 0xB5;
constexpr Byte kDeviceName = 0x40;
constexpr Byte kWirelessNotifications = 0x01;
constexpr Byte kLinkNotEstablished = 0x40;

Bytes shortReport(Byte index, Byte subId, Byte b3, Byte b4 = 0, Byte b5 = 0, Byte b6 = 0) {
  return {devio::velo::ShortReportId, index, subId, b3, b4, b5, b6};
}

std::shared_ptr<SimulatedChannel> makeChannel(std::uint16_t pid, std::string name, std::string path) {
  SimulatedChannel::Config config;
  config.pid = pid;
  config.name = std::move(name);
  config.path = std::move(path);
  return SimulatedChannel::create(std::move(config));
}

Bytes errorAnswer(const Bytes& request, Byte error) {
  return shortReport(request[1], devio::velo::Velo10ErrorSubId, request[2], request[3], error);
}

}  // namespace

std::shared_ptr<SimulatedReceiver> SimulatedReceiver::create(Config config) {
  auto receiver = std::shared_ptr<SimulatedReceiver>(new SimulatedReceiver(std::move(config)));
  receiver->channel_->setPeer(std::make_shared<Endpoint>(receiver));
  return receiver;
}

SimulatedReceiver::SimulatedReceiver(Config config)
    : config_(std::move(config)),
      channel_(makeChannel(config_.pid, config_.name, config_.path)),
      slots_(static_cast<std::size_t>(config_.slots)) {
  registers_[kNotificationFlags] = {};
  registers_[kSlotFlags] = {};
}

// ---- requests ----

void SimulatedReceiver::onHostWrite(const Bytes& report) {
  ++answering_;
  std::vector<Bytes> out;
  std::shared_ptr<SimulatedChannel> deviceEnd;
  Bytes forwarded;
  {
    std::lock_guard lock(mutex_);
    ++requests_;
    const Byte index = report.size() > 3 ? report[1] : 0;
    if (index == devio::velo::DeviceIndexSelf) {
      registerRequests_.push_back(report);
      answerRegister(report, &out);
    } else if (index >= 1 && index <= slots_.size()) {
      const Slot& slot = slots_[index - 1u];
      if (slot.device && slot.on) {
        deviceEnd = slot.channel;
        forwarded = report;
        forwarded[1] = devio::velo::DeviceIndexSelf;
      } else {
        out.push_back(errorAnswer(report, UnknownDeviceError));
      }
    }
  }
  send(out);
  // The device answers through its relay, on this thread.
  if (deviceEnd) deviceEnd->write(forwarded, false);
  --answering_;
}

void SimulatedReceiver::answerRegister(const Bytes& request, std::vector<Bytes>* out) {
  const Byte subId = request[2];
  const Byte reg = request[3];
  if (const auto it = failing_.find(reg); it != failing_.end()) {
    out->push_back(errorAnswer(request, it->second));
    return;
  }
  switch (subId) {
    case devio::velo::GetShortRegister: {
      if (reg == kConnectionState) {
        const auto paired = std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.device != nullptr; });
        out->push_back(shortReport(0xFF, subId, reg, 0, static_cast<Byte>(paired), 0));
      } else if (const auto it = registers_.find(reg); it != registers_.end()) {
        out->push_back(shortReport(0xFF, subId, reg, it->second[0], it->second[1], it->second[2]));
      } else {
        out->push_back(errorAnswer(request, InvalidAddressError));
      }
      return;
    }
    case devio::velo::SetShortRegister:
      setRegister(reg, request, out);
      return;
    case devio::velo::GetLongRegister: {
      Bytes answer(devio::velo::LongReportLength, 0);
      answer[0] = devio::velo::LongReportId;
      answer[1] = 0xFF;
      answer[2] = subId;
      answer[3] = reg;
      const Byte parameter = request[4];
      const int slot = parameter - kDeviceName;
      if (reg == kActivity) {
        std::copy(activity_.begin(), activity_.end(), answer.begin() + 4);
      } else if (reg == kPairingInformation && slot >= 0 && slot < config_.slots && slots_[slot].device) {
        const std::string& name = slots_[slot].name;
        const std::size_t length = std::min<std::size_t>(name.size(), answer.size() - 6);
        answer[4] = parameter;
        answer[5] = static_cast<Byte>(length);
        std::copy_n(name.begin(), length, answer.begin() + 6);
      } else {
        out->push_back(errorAnswer(request, reg == kPairingInformation ? InvalidValueError : InvalidAddressError));
        return;
      }
      out->push_back(answer);
      return;
    }
    default:
      out->push_back(errorAnswer(request, InvalidSubIdError));
  }
}

void SimulatedReceiver::setRegister(Byte reg, const Bytes& request, std::vector<Bytes>* out) {
  const std::array<Byte, 3> value{request[4], request[5], request[6]};
  if (reg == kConnectionState && value[0] == 0x02) {
    if (notifying()) {
      std::vector<int> paired;
      for (int slot = 0; slot < config_.slots; ++slot) {
        if (slots_[slot].device) paired.push_back(slot);
      }
      if (losses_ > 0 && !paired.empty()) {
        --losses_;
        paired.pop_back();
      }
      for (int slot : paired) out->push_back(connectionNotification(slot));
    }
  } else if (reg == kPairingControl) {
    if (value[0] == 0x01 || value[0] == 0x02) {
      lockLocked(value[0] == 0x01, out);
    } else if (value[0] == 0x03 && value[1] >= 1 && value[1] <= config_.slots && slots_[value[1] - 1].device) {
      unpairLocked(value[1] - 1, out);
    } else {
      out->push_back(errorAnswer(request, InvalidValueError));
      return;
    }
  } else if (registers_.contains(reg)) {
    registers_[reg] = value;
  } else {
    out->push_back(errorAnswer(request, InvalidAddressError));
    return;
  }
  out->push_back(shortReport(0xFF, devio::velo::SetShortRegister, reg));
}

// ---- notifications ----

bool SimulatedReceiver::notifying() const {
  return (registers_.at(kNotificationFlags)[1] & kWirelessNotifications) != 0;
}

Bytes SimulatedReceiver::connectionNotification(int slot) const {
  const Slot& s = slots_[slot];
  return shortReport(static_cast<Byte>(slot + 1), 0x41, config_.protocol, s.on ? 0 : kLinkNotEstablished,
                     static_cast<Byte>(s.pid & 0xFF), static_cast<Byte>(s.pid >> 8));
}

void SimulatedReceiver::send(const std::vector<Bytes>& reports) {
  for (const auto& report : reports) channel_->deliver(report);
}

// ---- what the test does ----

std::shared_ptr<SimulatedVeloDevice> SimulatedReceiver::pairLocked(int slot, std::uint16_t pid, std::string name,
                                                                   SimulatedVeloDevice::Config device,
                                                                   std::vector<Bytes>* out) {
  Slot& s = slots_[slot];
  s.pid = pid;
  s.name = std::move(name);
  s.on = true;
  s.channel = makeChannel(pid, s.name, config_.path + "/slot" + std::to_string(slot));
  s.channel->plugInto({});
  const std::weak_ptr<SimulatedChannel> outer = channel_;
  s.channel->relayTo([outer, index = static_cast<Byte>(slot + 1)](Bytes report) {
    report[1] = index;
    if (const auto channel = outer.lock()) channel->deliver(std::move(report));
  });
  s.device = SimulatedVeloDevice::create(s.channel, std::move(device));
  if (notifying()) out->push_back(connectionNotification(slot));
  if (lockOpen_) lockLocked(false, out);
  return s.device;
}

void SimulatedReceiver::unpairLocked(int slot, std::vector<Bytes>* out) {
  slots_[slot] = Slot{};
  if (notifying()) out->push_back(shortReport(static_cast<Byte>(slot + 1), 0x40, 0x02));
}

void SimulatedReceiver::lockLocked(bool open, std::vector<Bytes>* out) {
  lockOpen_ = open;
  if (notifying()) out->push_back(shortReport(0xFF, 0x4A, open ? 1 : 0, 0));
}

void SimulatedReceiver::change(const std::function<void(std::vector<Bytes>*)>& what) {
  std::vector<Bytes> out;
  {
    std::lock_guard lock(mutex_);
    what(&out);
  }
  send(out);
}

std::shared_ptr<SimulatedVeloDevice> SimulatedReceiver::pair(std::uint16_t pid, std::string name,
                                                             SimulatedVeloDevice::Config device) {
  std::shared_ptr<SimulatedVeloDevice> paired;
  change([&](std::vector<Bytes>* out) {
    const auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.device; });
    if (free != slots_.end()) {
      paired = pairLocked(static_cast<int>(free - slots_.begin()), pid, std::move(name), std::move(device), out);
    }
  });
  return paired;
}

std::shared_ptr<SimulatedVeloDevice> SimulatedReceiver::replace(int slot, std::uint16_t pid, std::string name,
                                                                SimulatedVeloDevice::Config device) {
  std::shared_ptr<SimulatedVeloDevice> paired;
  change([&](std::vector<Bytes>* out) { paired = pairLocked(slot, pid, std::move(name), std::move(device), out); });
  return paired;
}

void SimulatedReceiver::unpair(int slot) {
  change([&](std::vector<Bytes>* out) { unpairLocked(slot, out); });
}

void SimulatedReceiver::switchTo(int slot, bool on) {
  change([&](std::vector<Bytes>* out) {
    slots_[slot].on = on;
    if (notifying()) out->push_back(connectionNotification(slot));
  });
}

void SimulatedReceiver::switchOff(int slot) { switchTo(slot, false); }
void SimulatedReceiver::switchOn(int slot) { switchTo(slot, true); }
void SimulatedReceiver::openLock() {
  change([&](std::vector<Bytes>* out) { lockLocked(true, out); });
}
void SimulatedReceiver::closeLock() {
  change([&](std::vector<Bytes>* out) { lockLocked(false, out); });
}

void SimulatedReceiver::loseArrivals(int replays) {
  std::lock_guard lock(mutex_);
  losses_ = replays;
}

void SimulatedReceiver::failRegister(Byte reg, Byte error) {
  std::lock_guard lock(mutex_);
  if (error == 0) {
    failing_.erase(reg);
  } else {
    failing_[reg] = error;
  }
}

void SimulatedReceiver::overwriteRegisterZero(std::array<Byte, 3> value) {
  {
    std::lock_guard lock(mutex_);
    registers_[kNotificationFlags] = value;
  }
  channel_->deliver(shortReport(0xFF, devio::velo::SetShortRegister, kNotificationFlags));
}

void SimulatedReceiver::setActivity(int slot, Byte value) {
  std::lock_guard lock(mutex_);
  activity_.at(static_cast<std::size_t>(slot)) = value;
}

std::array<Byte, 3> SimulatedReceiver::registerValue(Byte reg) const {
  std::lock_guard lock(mutex_);
  const auto it = registers_.find(reg);
  return it == registers_.end() ? std::array<Byte, 3>{} : it->second;
}

bool SimulatedReceiver::lockOpen() const {
  std::lock_guard lock(mutex_);
  return lockOpen_;
}

std::shared_ptr<SimulatedVeloDevice> SimulatedReceiver::device(int slot) const {
  std::lock_guard lock(mutex_);
  return slots_.at(static_cast<std::size_t>(slot)).device;
}

std::vector<Bytes> SimulatedReceiver::registerRequests() const {
  std::lock_guard lock(mutex_);
  return registerRequests_;
}

std::size_t SimulatedReceiver::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace sim
