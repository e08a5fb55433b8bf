#include "sim/SimulatedZephelKeyboard.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "sim/ManualClock.h"

namespace sim {

using devio::Byte;
using devio::Bytes;
using Answer = SimulatedVeloDevice::Answer;
using Mode = SimulatedZephelKeyboard::Mode;
using Variant = SimulatedZephelKeyboard::Variant;

namespace {

constexpr std::uint16_t FeatureSetId = 0x0001;
constexpr std::uint16_t FirmwareInfoId = 0x0003;
constexpr std::uint16_t ConfigChangeId = 0x0020;
constexpr std::uint16_t DfuControlId = 0x00C1;
constexpr std::uint16_t DfuId = 0x00D0;
constexpr std::uint16_t LedControlId = 0x1300;
constexpr std::uint16_t OnboardProfilesId = 0x8100;

// Velo 2.0 error codes the keyboard answers with.
constexpr Byte InvalidArgument = 2;
constexpr Byte OutOfRange = 3;
constexpr Byte HardwareError = 4;
constexpr Byte NotAllowed = 5;

constexpr unsigned DfuStartFunction = 4;
constexpr unsigned DfuRestartFunction = 5;
constexpr unsigned DfuNotificationFunction = 0;

constexpr std::size_t ReadLength = 16;
constexpr int ProfileCount = 3;
constexpr int ResolutionCount = 5;

// LED table: type, capability flags (low byte), NV capability.
struct Led {
  Byte type;
  Byte capabilities;
  Byte nvCapability;
};
constexpr std::array<Led, SimulatedZephelKeyboard::LedCount> Leds{{
    {4, 0x83, 2},  // logo: off, on, breathing; NV always on
    {2, 0x07, 4},  // DPI: off, on, blink; NV on then off
    {2, 0x07, 4},
}};

unsigned word(const Bytes& p, std::size_t at) { return unsigned(p[at]) << 8 | p[at + 1]; }

// The payload of a DFU answer or status notification.
Bytes statusPayload(unsigned block, DfuStatus status) { return {0, 0, Byte(block >> 8), Byte(block), Byte(status)}; }

// A block fault that names this block fires: it is cleared.
bool fires(std::optional<unsigned>& fault, unsigned block) {
  if (fault != block) return false;
  fault.reset();
  return true;
}

// A countdown fault with some left fires: it counts down.
bool fires(int& count) {
  if (count <= 0) return false;
  --count;
  return true;
}

std::string imageName(Variant variant) { return variant == Variant::First ? "Q371_D0" : "Q371_D1"; }
std::string releasedVersion(Variant variant) { return variant == Variant::First ? "371.3.11" : "371.12.12"; }

// BCD of the decimal digits text (at most four).
std::uint16_t bcd(const std::string& digits) {
  std::uint16_t value = 0;
  for (char c : digits) value = std::uint16_t(value << 4 | unsigned(c - '0'));
  return value;
}

// "A.B.C" as firmware information carries it: prefix "U<first digit of A> ", version BCD of the
// last two digits of A then B, build BCD of C.
std::optional<SimulatedVeloDevice::FirmwareEntity> mainEntity(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == '.') {
      parts.emplace_back();
    } else if (c >= '0' && c <= '9') {
      parts.back() += c;
    } else {
      return std::nullopt;
    }
  }
  if (parts.size() != 3 || parts[0].size() != 3 || parts[1].empty() || parts[1].size() > 2 || parts[2].empty() ||
      parts[2].size() > 4)
    return std::nullopt;
  SimulatedVeloDevice::FirmwareEntity entity;
  entity.type = 0;
  entity.prefix = std::string("U") + parts[0][0] + " ";
  entity.version = std::uint16_t(bcd(parts[0].substr(1)) << 8 | bcd(parts[1]));
  entity.build = bcd(parts[2]);
  return entity;
}

}  // namespace

// The Velo device of one plug. Actions queued with afterAnswer run on the writing thread once the
// answer to the request in hand has been queued on the channel, so what they send comes after it
// (and the device counts as answering until they are done).
class SimulatedZephelKeyboard::PlugDevice final : public SimulatedVeloDevice {
 public:
  static std::shared_ptr<PlugDevice> create(const std::shared_ptr<SimulatedChannel>& channel, Config config) {
    std::shared_ptr<PlugDevice> device(new PlugDevice(channel, std::move(config)));
    channel->setPeer(device);
    return device;
  }

  void afterAnswer(std::function<void()> action) {
    std::lock_guard lock(mutex_);
    after_.push_back(std::move(action));
  }

 protected:
  void onAnswered() override {
    std::vector<std::function<void()>> actions;
    {
      std::lock_guard lock(mutex_);
      actions.swap(after_);
    }
    for (const auto& action : actions) action();
  }

 private:
  PlugDevice(std::weak_ptr<SimulatedChannel> channel, Config config)
      : SimulatedVeloDevice(std::move(channel), std::move(config)) {}

  std::mutex mutex_;
  std::vector<std::function<void()>> after_;
};

std::shared_ptr<SimulatedZephelKeyboard> SimulatedZephelKeyboard::create(std::shared_ptr<SimulatedBus> bus,
                                                                         Config config) {
  if (!mainEntity(config.version)) throw std::invalid_argument("version text not representable: " + config.version);
  return std::shared_ptr<SimulatedZephelKeyboard>(new SimulatedZephelKeyboard(std::move(bus), std::move(config)));
}

SimulatedZephelKeyboard::SimulatedZephelKeyboard(std::shared_ptr<SimulatedBus> bus, Config config)
    : bus_(std::move(bus)),
      variant_(config.variant),
      latency_(config.latency),
      restartDelay_(config.restartDelay),
      clock_(config.clock ? std::move(config.clock) : devio::Clock::steady()),
      version_(std::move(config.version)),
      settings_(factorySettings()),
      receiver_(imageName(config.variant)),
      faults_(config.faults),
      worker_(&SimulatedZephelKeyboard::work, this) {}

SimulatedZephelKeyboard::~SimulatedZephelKeyboard() {
  {
    std::lock_guard lock(workerMutex_);
    stopping_ = true;
  }
  workerWake_.notify_all();
  worker_.join();
  unplug();
}

std::uint16_t SimulatedZephelKeyboard::pidOf(Variant variant, Mode mode) {
  if (variant == Variant::First) return mode == Mode::Normal ? FirstNormalPid : FirstUpdatePid;
  return mode == Mode::Normal ? SecondNormalPid : SecondUpdatePid;
}

// Each sector begins with its name and goes on with a pattern of its own.
SimulatedZephelKeyboard::Settings SimulatedZephelKeyboard::factorySettings() {
  Settings settings;
  for (std::size_t s = 0; s < SectorCount; ++s) {
    Bytes& sector = settings.sectors[s];
    sector.resize(SectorSize);
    for (std::size_t i = 0; i < SectorSize; ++i) sector[i] = Byte(0x40 * s + 7 * i + (i >> 8));
    const std::string name = "ZEPHEL PROFILE " + std::to_string(s + 1);
    std::copy(name.begin(), name.end(), sector.begin());
  }
  settings.activeProfile = 1;
  settings.resolutionIndex = 2;
  for (std::size_t i = 0; i < Leds.size(); ++i) settings.ledNvConfigs[i] = Leds[i].nvCapability;
  return settings;
}

// ---- plugging ----

void SimulatedZephelKeyboard::plug() {
  std::lock_guard plugLock(plugMutex_);
  plugHeld();
}

void SimulatedZephelKeyboard::unplug() {
  std::lock_guard plugLock(plugMutex_);
  unplugHeld();
}

void SimulatedZephelKeyboard::replug() {
  std::lock_guard plugLock(plugMutex_);
  unplugHeld();
  plugHeld();
}

void SimulatedZephelKeyboard::plugHeld() {
  std::shared_ptr<SimulatedChannel> channel;
  {
    std::lock_guard lock(mutex_);
    if (channel_) return;
    const Mode mode = armed_ || !intact_ ? Mode::Update : Mode::Normal;
    if (mode == Mode::Update) armed_ = false;
    SimulatedChannel::Config config;
    config.pid = pidOf(variant_, mode);
    config.name = "Kavrin Zephel";
    config.path = "sim://kavrin-zephel/" + std::to_string(config.pid);
    config.latency = latency_;
    channel = SimulatedChannel::create(config);
    device_ = makeDevice(channel, mode);
    channel_ = channel;
    mode_ = mode;
    profileWrite_.reset();
  }
  bus_->plug(channel);
  {
    std::lock_guard lock(mutex_);
    plugged_ = true;
  }
  plugChanged_.notify_all();
}

void SimulatedZephelKeyboard::unplugHeld() {
  std::shared_ptr<SimulatedChannel> channel;
  {
    std::lock_guard lock(mutex_);
    channel = std::move(channel_);
    if (device_) earlierRequests_ += device_->requestCount();
    device_.reset();
    profileWrite_.reset();
  }
  if (!channel) return;
  bus_->unplug(channel);
  {
    std::lock_guard lock(mutex_);
    plugged_ = false;
  }
  plugChanged_.notify_all();
}

bool SimulatedZephelKeyboard::waitUntilPlugged(Mode mode, std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  return plugChanged_.wait_for(lock, bound, [&] { return plugged_ && mode_ == mode; });
}

bool SimulatedZephelKeyboard::waitUntilUnplugged(std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  return plugChanged_.wait_for(lock, bound, [&] { return !plugged_; });
}

bool SimulatedZephelKeyboard::waitForRestarts(int count, std::chrono::milliseconds bound) {
  std::unique_lock lock(mutex_);
  return plugChanged_.wait_for(lock, bound, [&] { return restarts_ >= count; });
}

// ---- the worker ----

void SimulatedZephelKeyboard::post(std::function<void()> task, std::chrono::milliseconds delay) {
  {
    std::lock_guard lock(workerMutex_);
    tasks_.emplace(clock_->now() + delay, std::move(task));
    resting_ = false;
  }
  workerWake_.notify_all();
}

// Runs the tasks in the order they fall due. Between them it rests: on the clock until the
// earliest is due, without end while there is none; a post or the stop ends the rest early.
void SimulatedZephelKeyboard::work() {
  clock_->attach(workerMutex_, workerWake_);
  std::unique_lock lock(workerMutex_);
  while (!stopping_) {
    if (!tasks_.empty() && tasks_.begin()->first <= clock_->now()) {
      {
        const auto task = std::move(tasks_.begin()->second);
        tasks_.erase(tasks_.begin());
        lock.unlock();
        task();
      }
      lock.lock();
      continue;
    }
    resting_ = true;
    const auto woken = [&] { return stopping_ || !resting_; };
    if (tasks_.empty()) {
      workerWake_.wait(lock, woken);
    } else {
      clock_->waitUntil(lock, workerWake_, tasks_.begin()->first, woken);
    }
    resting_ = false;
  }
  lock.unlock();
  clock_->detach(workerMutex_, workerWake_);
}

void SimulatedZephelKeyboard::leave(const std::shared_ptr<SimulatedChannel>& channel) {
  {
    std::lock_guard plugLock(plugMutex_);
    {
      std::lock_guard lock(mutex_);
      if (channel_ != channel) return;
    }
    unplugHeld();
  }
  post([this] { comeBack(); }, restartDelay_);
}

void SimulatedZephelKeyboard::comeBack() {
  std::lock_guard plugLock(plugMutex_);
  plugHeld();
  {
    std::lock_guard lock(mutex_);
    ++restarts_;
  }
  plugChanged_.notify_all();
}

// The channel goes dead at once, so nothing more is answered on it (a host's retry of the request
// included); the bus announces it on the worker thread.
void SimulatedZephelKeyboard::vanishLocked() {
  if (!channel_) return;
  channel_->pull();
  post([this, channel = channel_] { vanish(channel); });
}

void SimulatedZephelKeyboard::vanish(const std::shared_ptr<SimulatedChannel>& channel) {
  std::lock_guard plugLock(plugMutex_);
  {
    std::lock_guard lock(mutex_);
    if (channel_ != channel) return;
  }
  unplugHeld();
}

// ---- the Velo device of a plug ----

SimulatedVeloDevice::Firmware SimulatedZephelKeyboard::firmwareLocked(Mode mode) const {
  SimulatedVeloDevice::Firmware firmware;
  firmware.unitId = variant_ == Variant::First ? 0x5A216E21 : 0x5A296E29;
  firmware.transport = 0x0001;
  firmware.pid1 = pidOf(variant_, Mode::Normal);
  firmware.pid2 = pidOf(variant_, Mode::Update);
  SimulatedVeloDevice::FirmwareEntity main = *mainEntity(version_);
  main.active = mode == Mode::Normal;
  const SimulatedVeloDevice::FirmwareEntity bootloader{1, "BOT", 0x0102, 0x0003, mode == Mode::Update};
  if (mode == Mode::Normal && versionFaultLocked() == VersionFault::NoMainEntity) {
    firmware.entities = {bootloader};
  } else {
    firmware.entities = {main, bootloader};
  }
  return firmware;
}

SimulatedZephelKeyboard::VersionFault SimulatedZephelKeyboard::versionFaultLocked() const {
  return updated_ ? faults_.versionAfterUpdate : VersionFault::None;
}

std::shared_ptr<SimulatedZephelKeyboard::PlugDevice> SimulatedZephelKeyboard::makeDevice(
    const std::shared_ptr<SimulatedChannel>& channel, Mode mode) {
  const VersionFault versionFault = mode == Mode::Normal ? versionFaultLocked() : VersionFault::None;
  SimulatedVeloDevice::Config config;
  config.features = {{FeatureSetId}};
  if (versionFault != VersionFault::NoFirmwareInfo) config.features.push_back({FirmwareInfoId, 2});
  if (mode == Mode::Normal) {
    config.features.push_back({ConfigChangeId});
    if (!(updated_ && faults_.noDfuControlAfterUpdate)) config.features.push_back({DfuControlId});
    config.features.insert(config.features.end(), {{LedControlId}, {OnboardProfilesId}});
  } else {
    config.features.push_back({DfuId});
  }
  config.firmware = firmwareLocked(mode);
  config.strict = true;
  config.clock = std::dynamic_pointer_cast<ManualClock>(clock_);  // for VeloFault::late
  auto device = PlugDevice::create(channel, std::move(config));
  if (mode == Mode::Normal) {
    installNormalMode(*device);
  } else {
    installUpdateMode(*device);
  }
  if (versionFault == VersionFault::ReadFails) {
    for (unsigned function = 0; function < 16; ++function) {
      device->setFunction(FirmwareInfoId, function, [](const Bytes&) { return Answer::error(HardwareError); });
    }
  }
  return device;
}

namespace {
// A function of the keyboard: silent once the keyboard is gone.
template <class Body>
SimulatedVeloDevice::Function keyboardFunction(std::weak_ptr<SimulatedZephelKeyboard> keyboard, Body body) {
  return [keyboard = std::move(keyboard), body](const Bytes& params) -> Answer {
    const auto self = keyboard.lock();
    return self ? body(*self, params) : Answer::silence();
  };
}
}  // namespace

void SimulatedZephelKeyboard::installNormalMode(PlugDevice& device) {
  const auto set = [&](std::uint16_t feature, unsigned function, auto body) {
    device.setFunction(feature, function, keyboardFunction(weak_from_this(), body));
  };
  using K = SimulatedZephelKeyboard;

  // DFU control: the record's first byte arms update mode; "DFU" guards the write.
  set(DfuControlId, 0, [](K& k, const Bytes&) -> Answer {
    std::lock_guard lock(k.mutex_);
    return Bytes{0, Byte(k.armed_ ? 1 : 0), 0};
  });
  set(DfuControlId, 1, [](K& k, const Bytes& p) -> Answer {
    const bool record = p[0] <= 1 && p[1] == 0 && p[2] == 0 && p[3] == 0 && p[4] == 'D' && p[5] == 'F' && p[6] == 'U';
    if (!record) return Answer::error(InvalidArgument);
    std::lock_guard lock(k.mutex_);
    if (fires(k.faults_.dfuControlFailures)) return Answer::error(HardwareError);
    if (!fires(k.faults_.dfuControlIgnored)) k.armed_ = p[0] == 1;
    return Bytes{};
  });

  // LED control.
  set(LedControlId, 0, [](K&, const Bytes&) -> Answer { return Bytes{Byte(LedCount)}; });
  set(LedControlId, 1, [](K&, const Bytes& p) -> Answer {
    if (p[0] >= Leds.size()) return Answer::error(InvalidArgument);
    const Led& led = Leds[p[0]];
    return Bytes{p[0], led.type, 1, 0, led.capabilities, led.nvCapability};
  });
  set(LedControlId, 6, [](K& k, const Bytes& p) -> Answer {
    if (p[0] >= Leds.size()) return Answer::error(InvalidArgument);
    std::lock_guard lock(k.mutex_);
    return Bytes{p[0], k.settings_.ledNvConfigs[p[0]]};
  });
  set(LedControlId, 7, [](K& k, const Bytes& p) -> Answer {
    if (p[0] >= Leds.size()) return Answer::error(InvalidArgument);
    std::lock_guard lock(k.mutex_);
    k.settings_.ledNvConfigs[p[0]] = p[1];
    return Bytes{};
  });

  // Onboard profiles.
  set(OnboardProfilesId, 0, [](K&, const Bytes&) -> Answer {
    // memory model, profile format, macro format, profiles, profiles out of the box, buttons,
    // sectors, sector size (two bytes), flags
    return Bytes{1, 1, 1, Byte(ProfileCount), Byte(ProfileCount), 8, Byte(SectorCount), Byte(SectorSize >> 8),
                 Byte(SectorSize), 0x0A};
  });
  set(OnboardProfilesId, 3, [](K& k, const Bytes& p) -> Answer {
    const int profile = int(word(p, 0));
    if (profile < 1 || profile > ProfileCount) return Answer::error(InvalidArgument);
    std::lock_guard lock(k.mutex_);
    k.settings_.activeProfile = profile;
    return Bytes{};
  });
  set(OnboardProfilesId, 4, [](K& k, const Bytes&) -> Answer {
    std::lock_guard lock(k.mutex_);
    return Bytes{Byte(k.settings_.activeProfile >> 8), Byte(k.settings_.activeProfile)};
  });
  set(OnboardProfilesId, 5, [](K& k, const Bytes& p) { return k.onReadData(p); });
  set(OnboardProfilesId, 6, [](K& k, const Bytes& p) { return k.onBeginWrite(p); });
  set(OnboardProfilesId, 7, [](K& k, const Bytes& p) { return k.onWriteData(p); });
  set(OnboardProfilesId, 8, [](K& k, const Bytes&) { return k.onEndWrite(); });
  set(OnboardProfilesId, 11, [](K& k, const Bytes&) -> Answer {
    std::lock_guard lock(k.mutex_);
    return Bytes{Byte(k.settings_.resolutionIndex)};
  });
  set(OnboardProfilesId, 12, [](K& k, const Bytes& p) -> Answer {
    if (p[0] >= ResolutionCount) return Answer::error(InvalidArgument);
    std::lock_guard lock(k.mutex_);
    k.settings_.resolutionIndex = p[0];
    return Bytes{};
  });
}

void SimulatedZephelKeyboard::installUpdateMode(PlugDevice& device) {
  const auto self = weak_from_this();
  PlugDevice* const plug = &device;  // the functions live in the device
  for (unsigned function = 0; function < 4; ++function) {
    device.setFunction(DfuId, function,
                       keyboardFunction(self, [plug, function](SimulatedZephelKeyboard& k, const Bytes& p) {
                         return k.onDfuPacket(*plug, function, p);
                       }));
  }
  device.setFunction(DfuId, DfuStartFunction,
                     keyboardFunction(self, [plug](SimulatedZephelKeyboard& k, const Bytes& p) {
                       return k.onDfuStart(*plug, p);
                     }));
  device.setFunction(DfuId, DfuRestartFunction,
                     keyboardFunction(self, [plug](SimulatedZephelKeyboard& k, const Bytes&) {
                       return k.onDfuRestart(*plug);
                     }));
}

// ---- onboard profiles ----

Answer SimulatedZephelKeyboard::onReadData(const Bytes& p) {
  const unsigned sector = word(p, 0);
  const unsigned offset = word(p, 2);
  if (sector >= SectorCount || offset + ReadLength > SectorSize) return Answer::error(InvalidArgument);
  std::lock_guard lock(mutex_);
  const auto begin = settings_.sectors[sector].begin() + offset;
  return Bytes(begin, begin + ReadLength);
}

Answer SimulatedZephelKeyboard::onBeginWrite(const Bytes& p) {
  const unsigned sector = word(p, 0);
  const unsigned offset = word(p, 2);
  const unsigned length = word(p, 4);
  if (sector >= SectorCount || length == 0 || offset + length > SectorSize) return Answer::error(InvalidArgument);
  std::lock_guard lock(mutex_);
  profileWrite_ = ProfileWrite{sector, offset, length, {}};
  return Bytes{};
}

// Takes as many of the 16 bytes as the announced region still holds.
Answer SimulatedZephelKeyboard::onWriteData(const Bytes& p) {
  std::lock_guard lock(mutex_);
  if (!profileWrite_) return Answer::error(NotAllowed);
  Bytes& data = profileWrite_->data;
  const std::size_t room = profileWrite_->length - data.size();
  if (room == 0) return Answer::error(OutOfRange);
  data.insert(data.end(), p.begin(), p.begin() + std::ptrdiff_t(std::min(room, ReadLength)));
  return Bytes{0, 0};
}

// A region written in full replaces the sector's bytes; anything less changes nothing.
Answer SimulatedZephelKeyboard::onEndWrite() {
  std::lock_guard lock(mutex_);
  if (!profileWrite_) return Answer::error(NotAllowed);
  const ProfileWrite write = std::move(*profileWrite_);
  profileWrite_.reset();
  if (write.data.size() != write.length) return Answer::error(InvalidArgument);
  std::copy(write.data.begin(), write.data.end(), settings_.sectors[write.sector].begin() + std::ptrdiff_t(write.offset));
  return Bytes{};
}

// ---- update mode ----

Answer SimulatedZephelKeyboard::onDfuStart(PlugDevice& device, const Bytes& block) {
  std::lock_guard lock(mutex_);
  ++dfuStarts_;
  imageAccepted_ = false;
  if (fires(faults_.unplugAtBlock, 0)) {
    receiver_.abort();
    intact_ = false;
    vanishLocked();
    return Answer::silence();
  }
  DfuStatus status = receiver_.start(block);
  if (status == DfuStatus::Ready && fires(faults_.errorAtBlock, 0)) {
    // Refused before anything was erased.
    receiver_.abort();
    status = DfuStatus::Refused;
  }
  std::vector<Bytes> notifications;
  if (status == DfuStatus::Ready) {
    intact_ = false;  // erasing the old firmware starts now
    updated_ = false;
    if (!fires(faults_.lostAckAtBlock, 0)) notifications.push_back(statusPayload(0, DfuStatus::Ready));
  }
  return replyLocked(device, 0, statusPayload(0, status), std::move(notifications));
}

Answer SimulatedZephelKeyboard::onDfuPacket(PlugDevice& device, unsigned function, const Bytes& block) {
  std::lock_guard lock(mutex_);
  packetFunctions_.push_back(function);
  const bool repeat = receiver_.repeats(function, block);
  const unsigned number = receiver_.nextBlock() - (repeat ? 1 : 0);
  // Faults name a block of the running transfer; a repeat was that block already.
  const bool fresh = receiver_.receiving() && !repeat;
  if (fresh && fires(faults_.unplugAtBlock, number)) {
    receiver_.abort();
    vanishLocked();
    return Answer::silence();
  }
  DfuStatus status;
  if (fresh && fires(faults_.errorAtBlock, number)) {
    receiver_.abort();
    status = DfuStatus::Refused;
  } else {
    status = receiver_.receive(function, block);
  }
  if (status == DfuStatus::Accepted && faults_.neverAccept) status = DfuStatus::Refused;
  if (status == DfuStatus::Accepted && !repeat) acceptImageLocked();
  if (fresh && status == DfuStatus::Ready && fires(faults_.lostAckAtBlock, number)) status = DfuStatus::Busy;
  Bytes payload = statusPayload(number, status);
  if (!fresh) return payload;
  return replyLocked(device, number, std::move(payload), {});
}

void SimulatedZephelKeyboard::acceptImageLocked() {
  imageAccepted_ = true;
  if (std::exchange(faults_.acceptWithoutUpdate, false)) {
    intact_ = true;  // the old firmware was kept
    return;
  }
  const std::string carried = receiver_.imageVersion();
  version_ = mainEntity(carried) ? carried : releasedVersion(variant_);
  updated_ = true;
  intact_ = !faults_.bootFails;
  if (device_) device_->setFirmware(firmwareLocked(mode_));
}

Answer SimulatedZephelKeyboard::replyLocked(PlugDevice& device, unsigned block, Bytes payload,
                                            std::vector<Bytes> notifications) {
  if (fires(faults_.duplicateStatusAtBlock, block)) notifications.push_back(payload);
  if (fires(faults_.staleStatusAtBlock, block) && block > 0) {
    notifications.push_back(statusPayload(block - 1, DfuStatus::Ready));
  }
  const bool silent = fires(faults_.noAnswerAtBlock, block);
  const bool late = fires(faults_.lateAnswerAtBlock, block);
  Answer answer = silent ? Answer::silence() : Answer(std::move(payload));
  const bool followed = !notifications.empty();
  const std::weak_ptr<SimulatedVeloDevice> plug = device.shared_from_this();
  const auto notify = [plug, notifications = std::move(notifications)] {
    const auto target = plug.lock();
    if (!target) return;
    for (const Bytes& notification : notifications) target->notify(DfuId, DfuNotificationFunction, notification);
  };
  if (late && !silent) {
    // The worker delivers the answer and what follows it, on the plug's channel if it is still in.
    answer.sendVia = [keyboard = weak_from_this(), plug, notify, delay = faults_.lateBy](Bytes report) {
      const auto self = keyboard.lock();
      if (!self) return;
      self->post(
          [plug, report = std::move(report), notify] {
            const auto target = plug.lock();
            const auto channel = target ? target->channel() : nullptr;
            if (!channel) return;
            channel->deliver(report);
            notify();
          },
          delay);
    };
  } else if (followed) {
    device.afterAnswer(notify);
  }
  return answer;
}

// The restart begins once the answer is on its way.
Answer SimulatedZephelKeyboard::onDfuRestart(PlugDevice& device) {
  std::shared_ptr<SimulatedChannel> channel;
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(faults_.ignoreRestart, false)) return Bytes{};
    channel = channel_;
  }
  device.afterAnswer([weak = weak_from_this(), channel] {
    if (const auto self = weak.lock()) self->post([raw = self.get(), channel] { raw->leave(channel); });
  });
  return Bytes{};
}

// ---- observation and control ----

bool SimulatedZephelKeyboard::idle() const {
  std::shared_ptr<PlugDevice> device;
  std::shared_ptr<SimulatedChannel> channel;
  {
    std::lock_guard lock(mutex_);
    device = device_;
    channel = channel_;
  }
  // Upstream first: the device answers, the worker delivers late answers, the channel reads.
  if (device && !device->idle()) return false;
  {
    std::lock_guard lock(workerMutex_);
    // A task that is due is work in hand, even before the worker has woken for it.
    if (!resting_ || (!tasks_.empty() && tasks_.begin()->first <= clock_->now())) return false;
  }
  return !channel || channel->idle();
}

std::uint64_t SimulatedZephelKeyboard::requestCount() const {
  std::lock_guard lock(mutex_);
  return earlierRequests_ + (device_ ? device_->requestCount() : 0);
}

bool SimulatedZephelKeyboard::plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

Mode SimulatedZephelKeyboard::mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

std::uint16_t SimulatedZephelKeyboard::pid() const {
  std::lock_guard lock(mutex_);
  return pidOf(variant_, mode_);
}

std::shared_ptr<SimulatedChannel> SimulatedZephelKeyboard::channel() const {
  std::lock_guard lock(mutex_);
  return channel_;
}

std::shared_ptr<SimulatedVeloDevice> SimulatedZephelKeyboard::device() const {
  std::lock_guard lock(mutex_);
  return device_;
}

std::string SimulatedZephelKeyboard::version() const {
  std::lock_guard lock(mutex_);
  return version_;
}

bool SimulatedZephelKeyboard::armed() const {
  std::lock_guard lock(mutex_);
  return armed_;
}

bool SimulatedZephelKeyboard::firmwareIntact() const {
  std::lock_guard lock(mutex_);
  return intact_;
}

SimulatedZephelKeyboard::Settings SimulatedZephelKeyboard::settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

int SimulatedZephelKeyboard::dfuStarts() const {
  std::lock_guard lock(mutex_);
  return dfuStarts_;
}

int SimulatedZephelKeyboard::dataPackets() const {
  std::lock_guard lock(mutex_);
  return int(packetFunctions_.size());
}

std::vector<unsigned> SimulatedZephelKeyboard::packetFunctions() const {
  std::lock_guard lock(mutex_);
  return packetFunctions_;
}

bool SimulatedZephelKeyboard::imageAccepted() const {
  std::lock_guard lock(mutex_);
  return imageAccepted_;
}

int SimulatedZephelKeyboard::restarts() const {
  std::lock_guard lock(mutex_);
  return restarts_;
}

bool SimulatedZephelKeyboard::setVersion(const std::string& version) {
  if (!mainEntity(version)) return false;
  std::lock_guard lock(mutex_);
  version_ = version;
  if (device_) device_->setFirmware(firmwareLocked(mode_));
  return true;
}

void SimulatedZephelKeyboard::setSettings(Settings settings) {
  for (Bytes& sector : settings.sectors) sector.resize(SectorSize, 0xFF);
  std::lock_guard lock(mutex_);
  settings_ = std::move(settings);
}

void SimulatedZephelKeyboard::setFaults(Faults faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
}

SimulatedZephelKeyboard::Faults SimulatedZephelKeyboard::faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

}  // namespace sim
