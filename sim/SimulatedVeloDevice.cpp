#include "sim/SimulatedVeloDevice.h"

#include <algorithm>

#include "devio/protocol/VeloMessage.h"

namespace sim {

using devio::Byte;
using devio::Bytes;
namespace velo = devio::velo;

namespace {

constexpr std::uint16_t RootId = 0x0000;
constexpr std::uint16_t FeatureSetId = 0x0001;
constexpr std::uint16_t FirmwareInfoId = 0x0003;
constexpr std::uint16_t ConfigChangeId = 0x0020;
constexpr std::uint16_t DeviceResetId = 0x1802;
constexpr std::size_t ShortPayload = velo::ShortReportLength - 4;
constexpr std::size_t LongPayload = velo::LongReportLength - 4;

// A response to request: its bytes 1..3, then the payload in the smallest report that holds it.
Bytes answerReport(const Bytes& request, Byte featureIndex, Byte functionByte, const Bytes& payload) {
  const bool isShort = payload.size() <= ShortPayload;
  Bytes report(isShort ? velo::ShortReportLength : velo::LongReportLength, 0);
  report[0] = isShort ? velo::ShortReportId : velo::LongReportId;
  report[1] = request[1];
  report[2] = featureIndex;
  report[3] = functionByte;
  std::copy_n(payload.begin(), std::min(payload.size(), LongPayload), report.begin() + 4);
  return report;
}

// layout is byte 2 of the error: 0x8F (Velo 1.0) or 0xFF (Velo 2.0).
Bytes errorReport(const Bytes& request, Byte layout, Byte code) {
  return {velo::ShortReportId, request[1], layout, request[2], request[3], code, 0};
}

Byte flags(const SimulatedVeloDevice::FeatureEntry& entry) {
  return Byte((entry.obsolete ? 0x80 : 0) | (entry.hidden ? 0x40 : 0) | (entry.engineering ? 0x20 : 0));
}

// The report a strict device takes: its id's length (then only the channel's zero padding), sent
// to the device itself.
bool wellFormed(const Bytes& report) {
  if (report.size() < velo::ShortReportLength || report[1] != velo::DeviceIndexSelf) return false;
  const std::size_t length = report[0] == velo::ShortReportId  ? velo::ShortReportLength
                             : report[0] == velo::LongReportId ? velo::LongReportLength
                                                               : 0;
  return length != 0 && report.size() >= length &&
         std::all_of(report.begin() + std::ptrdiff_t(length), report.end(), [](Byte b) { return b == 0; });
}

void append16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(Byte(value >> 8));
  bytes.push_back(Byte(value));
}

// Counts the writes being answered, so VirtualTime sees an answer on its way.
class Answering {
 public:
  explicit Answering(std::atomic<int>& count) : count_(count) { ++count_; }
  ~Answering() { --count_; }
  Answering(const Answering&) = delete;
  Answering& operator=(const Answering&) = delete;

 private:
  std::atomic<int>& count_;
};

}  // namespace

SimulatedVeloDevice::Answer SimulatedVeloDevice::Answer::error(Byte code) {
  Answer answer;
  answer.errorCode = code;
  return answer;
}

SimulatedVeloDevice::Answer SimulatedVeloDevice::Answer::silence() {
  Answer answer;
  answer.silent = true;
  return answer;
}

std::shared_ptr<SimulatedVeloDevice> SimulatedVeloDevice::create(const std::shared_ptr<SimulatedChannel>& channel,
                                                                 Config config) {
  std::shared_ptr<SimulatedVeloDevice> device(new SimulatedVeloDevice(channel, std::move(config)));
  channel->setPeer(device);
  return device;
}

SimulatedVeloDevice::SimulatedVeloDevice(std::weak_ptr<SimulatedChannel> channel, Config config)
    : channel_(std::move(channel)), clock_(config.clock), config_(std::move(config)) {
  setFeatures(config_.features);
  installCoreFeatures();
}

void SimulatedVeloDevice::installCoreFeatures() {
  functions_[{RootId, 0}] = [this](const Bytes& p) -> Answer {  // GetFeature
    std::lock_guard lock(mutex_);
    std::size_t index = 0;
    const FeatureEntry* entry = entryLocked(std::uint16_t(p[0] << 8 | p[1]), &index);
    if (!entry) return Bytes{0, 0, 0};
    return Bytes{Byte(index), flags(*entry), entry->version};
  };
  functions_[{RootId, 1}] = [this](const Bytes& p) -> Answer {  // GetProtocolVersion / ping
    std::lock_guard lock(mutex_);
    return Bytes{config_.protocol, config_.targetSoftware, p[2]};
  };
  functions_[{FeatureSetId, 0}] = [this](const Bytes&) -> Answer {  // GetCount, Root excluded
    std::lock_guard lock(mutex_);
    return Bytes{Byte(table_.size() - 1)};
  };
  functions_[{FeatureSetId, 1}] = [this](const Bytes& p) -> Answer {  // GetFeatureID
    std::lock_guard lock(mutex_);
    if (p[0] >= table_.size()) return Answer::error(InvalidArgumentError);
    const FeatureEntry& entry = table_[p[0]];
    return Bytes{Byte(entry.id >> 8), Byte(entry.id), flags(entry), entry.version};
  };
  functions_[{FirmwareInfoId, 0}] = [this](const Bytes&) -> Answer {  // GetEntityCount
    std::lock_guard lock(mutex_);
    const Firmware& fw = config_.firmware;
    Bytes payload{Byte(fw.entities.size())};
    append16(payload, std::uint16_t(fw.unitId >> 16));
    append16(payload, std::uint16_t(fw.unitId));
    for (std::uint16_t value : {fw.transport, fw.pid1, fw.pid2, fw.pid3}) append16(payload, value);
    payload.push_back(fw.extendedModelId);
    return payload;
  };
  functions_[{FirmwareInfoId, 1}] = [this](const Bytes& p) -> Answer {  // GetFwInfo
    std::lock_guard lock(mutex_);
    const auto& entities = config_.firmware.entities;
    if (p[0] >= entities.size()) return Answer::error(InvalidArgumentError);
    const FirmwareEntity& entity = entities[p[0]];
    Bytes payload{Byte(entity.type & 0x0F)};
    std::string prefix = entity.prefix;
    prefix.resize(3, ' ');
    payload.insert(payload.end(), prefix.begin(), prefix.end());
    append16(payload, entity.version);
    append16(payload, entity.build);
    payload.push_back(entity.active ? 1 : 0);
    Bytes extra = entity.extra;
    extra.resize(7, 0);
    payload.insert(payload.end(), extra.begin(), extra.end());
    return payload;
  };
  functions_[{ConfigChangeId, 0}] = [this](const Bytes&) -> Answer {  // GetCookie
    std::lock_guard lock(mutex_);
    Bytes payload;
    append16(payload, config_.cookie);
    return payload;
  };
  functions_[{ConfigChangeId, 1}] = [this](const Bytes& p) -> Answer {  // SetCookie
    std::lock_guard lock(mutex_);
    config_.cookie = std::uint16_t(p[0] << 8 | p[1]);
    return Bytes{};
  };
  functions_[{DeviceResetId, 0}] = [this](const Bytes&) -> Answer {  // forceDeviceReset
    std::lock_guard lock(mutex_);
    if (config_.resetClearsCookie) config_.cookie = 0;
    return Bytes{};
  };
}

void SimulatedVeloDevice::onHostWrite(const Bytes& request) {
  const Answering answering(answering_);
  std::optional<VeloFault> fault;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (config_.strict && !wellFormed(request)) return;
    fault = takeFault(request);
  }
  using Kind = VeloFault::Kind;
  if (fault && fault->kind == Kind::Disconnect) {
    if (auto channel = channel_.lock()) channel->pull();
    return;
  }
  std::optional<Bytes> answer;
  std::function<void(Bytes)> sendVia;
  if (request.size() < 4) {
    // Nothing to answer: not even a header to repeat.
  } else if (fault && fault->kind == Kind::Velo10Error) {
    answer = errorReport(request, velo::Velo10ErrorSubId, fault->code);
  } else if (fault && fault->kind == Kind::Velo20Error) {
    answer = errorReport(request, velo::Velo20ErrorIndex, fault->code);
  } else {
    answer = answerTo(request, &sendVia);
  }
  std::optional<Bytes> previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(lastAnswer_, answer);
  }
  if (fault) {
    applyFault(*fault, request, answer, previous);
  } else if (sendVia && answer) {
    sendVia(*answer);
  } else {
    deliver(answer);
  }
  onAnswered();
}

std::optional<VeloFault> SimulatedVeloDevice::takeFault(const Bytes& request) {
  const auto rule = std::find_if(faults_.begin(), faults_.end(), [&](const VeloFault& f) { return f.matches(request); });
  if (rule == faults_.end()) return std::nullopt;
  VeloFault fault = *rule;
  if (--rule->count <= 0) faults_.erase(rule);
  return fault;
}

std::optional<Bytes> SimulatedVeloDevice::answerTo(const Bytes& request, std::function<void(Bytes)>* sendVia) {
  const Byte index = request[2];
  const Byte functionByte = request[3];
  Function behaviour;
  {
    std::lock_guard lock(mutex_);
    if ((index & 0x80) != 0 || config_.velo10Only) {
      return errorReport(request, velo::Velo10ErrorSubId, UnknownSubIdError);
    }
    if (config_.strict && (functionByte & 0x0F) == 0) {
      return errorReport(request, velo::Velo20ErrorIndex, InvalidArgumentError);
    }
    if (index >= table_.size()) return errorReport(request, velo::Velo20ErrorIndex, UnknownFeatureIndexError);
    const auto found = functions_.find({table_[index].id, unsigned(functionByte >> 4)});
    if (found == functions_.end()) return errorReport(request, velo::Velo20ErrorIndex, UnknownFunctionError);
    behaviour = found->second;
  }
  // Missing parameter bytes read as 0, so a function may look at any of the 16.
  Bytes params(request.begin() + 4, request.end());
  params.resize(std::max(params.size(), LongPayload), 0);
  const Answer answer = behaviour(params);
  if (answer.silent) return std::nullopt;
  *sendVia = answer.sendVia;
  if (answer.errorCode) return errorReport(request, velo::Velo20ErrorIndex, *answer.errorCode);
  return answerReport(request, index, functionByte, answer.payload);
}

void SimulatedVeloDevice::applyFault(const VeloFault& fault, const Bytes& request,
                                     const std::optional<Bytes>& answer, const std::optional<Bytes>& previous) {
  using Kind = VeloFault::Kind;
  switch (fault.kind) {
    case Kind::NoAnswer:
    case Kind::Disconnect:
      return;
    case Kind::Held:
      if (!answer) return;
      {
        std::lock_guard lock(mutex_);
        held_.push_back(*answer);
      }
      return;
    case Kind::Late:
      if (!answer) return;
      if (!clock_) return applyFault(VeloFault::held(), request, answer, previous);
      clock_->at(clock_->now() + fault.delay, [channel = channel_, report = *answer] {
        if (auto target = channel.lock()) target->deliver(report);
      });
      return;
    case Kind::Velo10Error:
    case Kind::Velo20Error:
      return deliver(answer);
    case Kind::ForeignSoftwareId:
      if (answer) {
        Bytes foreign = *answer;
        // The function byte is byte 3 of a response and byte 4 of an error response.
        Byte& function = velo::isErrorResponse(foreign) ? foreign[4] : foreign[3];
        function = Byte((function & 0xF0) | fault.softwareId);
        deliver(foreign);
      }
      return;
    case Kind::UnsolicitedForeign:
      if (request.size() >= 4) deliver(foreignReport(request, fault.softwareId));
      return deliver(answer);
    case Kind::Stale:
      return deliver(previous);
  }
}

// A Root response of another program: GetFeature, or a ping with a non-zero byte when the request
// itself is a GetFeature, so that it never completes the host's own request.
Bytes SimulatedVeloDevice::foreignReport(const Bytes& request, unsigned softwareId) const {
  const bool requestIsGetFeature = request[2] == velo::RootFeatureIndex && (request[3] >> 4) == 0;
  const unsigned function = requestIsGetFeature ? 1 : 0;
  Bytes payload{0, 0, 0};
  if (requestIsGetFeature) {
    std::lock_guard lock(mutex_);
    payload = {config_.protocol, config_.targetSoftware, 0xFF};
  }
  return answerReport(request, velo::RootFeatureIndex, velo::functionByte(function, softwareId), payload);
}

void SimulatedVeloDevice::deliver(const std::optional<Bytes>& report) {
  if (!report) return;
  if (auto channel = channel_.lock()) channel->deliver(*report);
}

const SimulatedVeloDevice::FeatureEntry* SimulatedVeloDevice::entryLocked(std::uint16_t featureId,
                                                                          std::size_t* index) const {
  const auto found = std::find_if(table_.begin(), table_.end(), [&](const FeatureEntry& e) { return e.id == featureId; });
  if (found == table_.end()) return nullptr;
  *index = std::size_t(found - table_.begin());
  return &*found;
}

void SimulatedVeloDevice::setFeatures(std::vector<FeatureEntry> features) {
  std::lock_guard lock(mutex_);
  table_ = {FeatureEntry{RootId}};
  table_.insert(table_.end(), features.begin(), features.end());
}

Byte SimulatedVeloDevice::featureIndex(std::uint16_t featureId) const {
  std::lock_guard lock(mutex_);
  std::size_t index = 0;
  entryLocked(featureId, &index);
  return Byte(index);
}

void SimulatedVeloDevice::setFunction(std::uint16_t featureId, unsigned function, Function behaviour) {
  std::lock_guard lock(mutex_);
  if (behaviour) {
    functions_[{featureId, function & 0x0F}] = std::move(behaviour);
  } else {
    functions_.erase({featureId, function & 0x0F});
  }
}

bool SimulatedVeloDevice::notify(std::uint16_t featureId, unsigned function, const Bytes& payload) {
  std::size_t index = 0;
  {
    std::lock_guard lock(mutex_);
    if (!entryLocked(featureId, &index)) return false;
  }
  const Bytes header{velo::ShortReportId, velo::DeviceIndexSelf};
  deliver(answerReport(header, Byte(index), velo::functionByte(function, 0), payload));
  return true;
}

void SimulatedVeloDevice::setFirmware(Firmware firmware) {
  std::lock_guard lock(mutex_);
  config_.firmware = std::move(firmware);
}

SimulatedVeloDevice::Firmware SimulatedVeloDevice::firmware() const {
  std::lock_guard lock(mutex_);
  return config_.firmware;
}

std::uint16_t SimulatedVeloDevice::cookie() const {
  std::lock_guard lock(mutex_);
  return config_.cookie;
}

void SimulatedVeloDevice::setCookie(std::uint16_t cookie) {
  std::lock_guard lock(mutex_);
  config_.cookie = cookie;
}

void SimulatedVeloDevice::setVelo10Only(bool velo10Only) {
  std::lock_guard lock(mutex_);
  config_.velo10Only = velo10Only;
}

void SimulatedVeloDevice::inject(VeloFault fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(std::move(fault));
}

void SimulatedVeloDevice::clearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::size_t SimulatedVeloDevice::releaseHeld() {
  std::deque<Bytes> held;
  {
    std::lock_guard lock(mutex_);
    held.swap(held_);
  }
  for (const Bytes& report : held) deliver(report);
  return held.size();
}

std::vector<Bytes> SimulatedVeloDevice::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t SimulatedVeloDevice::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

std::size_t SimulatedVeloDevice::countRequests(Byte featureIndex, unsigned function) const {
  std::lock_guard lock(mutex_);
  return std::size_t(std::count_if(requests_.begin(), requests_.end(), [&](const Bytes& r) {
    return r.size() >= 4 && r[2] == featureIndex && unsigned(r[3] >> 4) == (function & 0x0F);
  }));
}

}  // namespace sim
