#include "devio/protocol/Feature.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/XLog.h"

namespace devio {

Feature::Feature(unsigned id, int index, std::weak_ptr<IDevice> device)
    : id_(id), index_(static_cast<Byte>(index)), device_(std::move(device)) {}

unsigned Feature::id() { return id_; }

std::shared_ptr<IDevice> Feature::lockDevice() {
  auto device = device_.lock();
  if (!device) LastError::set(DeviceRemoved);
  return device;
}

bool Feature::sendFeatureCommandNoResponse(int function, const Bytes& params) {
  auto device = lockDevice();
  if (!device) return false;
  return device->sendCommand(velo::buildRequest(index_, function, device->swid(), params), false);
}

bool Feature::sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable) {
  return sendFeatureCommand(function, params, payload, cacheable, {});
}

bool Feature::sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable,
                                 std::vector<int> match) {
  auto device = lockDevice();
  if (!device) return false;
  Bytes response;
  if (!device->sendSynchronousCommand(velo::buildRequest(index_, function, device->swid(), params), &response,
                                      cacheable, match))
    return false;
  // The software id is read again: the engine may have switched it while retrying.
  return velo::acceptResponse(response, index_, velo::functionByte(function, device->swid()), &payload);
}

bool Feature::is_configured() { return configured_; }
bool Feature::is_pending() { return pending_; }
std::shared_ptr<IDevice> Feature::device() { return device_.lock(); }
bool Feature::obsolete() { return obsolete_; }
bool Feature::hidden() { return hidden_; }
bool Feature::engineering() { return engineering_; }
int Feature::index() { return index_; }
int Feature::version() { return version_; }
std::shared_ptr<IFeature> Feature::self() { return weak_from_this().lock(); }

bool Feature::process_pending_changes(bool /*device_configured*/) { return true; }
void Feature::onFeatureReport(int /*function*/, const Bytes& /*payload*/) {}
void Feature::onUnexpectedResponse(unsigned /*function*/, unsigned /*swid*/, const Bytes& /*payload*/) {}

// The productions capture by value: run-loop subscribers run them after this call returned.
void Feature::deliverFeatureReport(int function, const Bytes& payload) {
  produce([function, payload](FeatureReport* s) { s->onFeatureReport(function, payload); },
          "Feature::FeatureReport::onFeatureReport");
  onFeatureReport(function, payload);
}

void Feature::deliverUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) {
  produce([function, swid, payload](FeatureReport* s) { s->onUnexpectedResponse(function, swid, payload); },
          "Feature::FeatureReport::onUnexpectedResponse");
  onUnexpectedResponse(function, swid, payload);
}

// The flag is set only once the device accepted: after a refusal the feature is not among the
// device's configured features, so claiming it later would change settings nobody owns.
bool Feature::set_configured() {
  if (configured_) return true;
  auto device = lockDevice();
  if (!device) return false;
  if (!device->set_configured(self())) return false;
  configured_ = true;
  return true;
}

// As set_configured: a feature the device refused to queue must be offered again, or its
// change would never be replayed.
bool Feature::set_pending() {
  if (replaying_) {
    LastError::set(PendingDuringReplay);
    return false;
  }
  if (pending_) return true;
  auto device = lockDevice();
  if (!device) return false;
  if (!device->add_pending(self())) return false;
  pending_ = true;
  return true;
}

void Feature::set_table_flags(bool obsolete, bool hidden, bool engineering, int version) {
  obsolete_ = obsolete;
  hidden_ = hidden;
  engineering_ = engineering;
  version_ = version;
}

void Feature::clear_configured() { configured_ = false; }
void Feature::clear_pending() { pending_ = false; }
void Feature::set_replaying(bool replaying) { replaying_ = replaying; }

unsigned Feature::bigEndian16(const Bytes& payload, std::size_t offset) {
  return (unsigned{payload[offset]} << 8) | payload[offset + 1];
}

unsigned Feature::bigEndian32(const Bytes& payload, std::size_t offset) {
  return (bigEndian16(payload, offset) << 16) | bigEndian16(payload, offset + 2);
}

int Feature::signed16(const Bytes& payload, std::size_t offset) {
  return static_cast<std::int16_t>(bigEndian16(payload, offset));
}

bool Feature::query(int function, const Bytes& params, std::size_t minimum, Bytes& payload, bool cacheable) {
  Bytes answer;
  if (!sendFeatureCommand(function, params, answer, cacheable)) return false;
  if (answer.size() < minimum) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  payload = std::move(answer);
  return true;
}

bool Feature::command(int function, const Bytes& params) {
  Bytes payload;
  return sendFeatureCommand(function, params, payload, false);
}

std::vector<unsigned> Feature::bigEndian16List(const Bytes& payload, std::size_t count) {
  std::vector<unsigned> values;
  for (std::size_t i = 0; i < count; ++i) values.push_back(bigEndian16(payload, 2 * i));
  return values;
}

bool Feature::ensureConfigured(const char* operation) {
  if (set_configured()) return true;
  featureLog(operation, LogInfo, "set_configured failed");
  return false;
}

bool Feature::change(const char* operation, int function, const Bytes& params) {
  if (!ensureConfigured(operation)) return false;
  if (command(function, params)) return true;
  featureLog(operation, LogInfo, "sendFeatureCommand failed");
  return false;
}

bool Feature::readText(int function, const Bytes& params, std::size_t length, std::string* text, bool cacheable) {
  std::string read;
  while (read.size() < length) {
    Bytes request = params;
    request.push_back(static_cast<Byte>(read.size()));
    Bytes piece;
    if (!query(function, request, 0, piece, cacheable)) return false;
    const auto take = static_cast<std::ptrdiff_t>(std::min(piece.size(), length - read.size()));
    const auto end = std::find(piece.begin(), piece.begin() + take, Byte{0});
    if (end == piece.begin()) {
      LastError::set(EmptyResponseData);
      return false;
    }
    read.append(piece.begin(), end);
  }
  store(text, read);
  return true;
}

bool Feature::changedElsewhere(const char* operation, unsigned function, unsigned swid, const Bytes& payload,
                               unsigned settingFunction, std::size_t minimum) {
  featureLog(operation, LogInfo, "%s(func=%d, swid=0x%x)", featureLogName(operation), function, swid);
  return function == settingFunction && payload.size() >= minimum;
}

}  // namespace devio
