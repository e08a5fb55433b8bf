#include "devio/features/Feature00d0DFU.h"

#include <atomic>
#include <cstddef>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature00d0DFU>(Feature00d0DFU::Id);

constexpr const char* Tag = "Feature00d0DFU";
constexpr int StartFunction = 4;
constexpr int RestartFunction = 5;
constexpr std::size_t StatusOffset = 4;
constexpr std::size_t PacketOffset = 2;
}  // namespace

IFeatureForceInclusion00d0::IFeatureForceInclusion00d0() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion00d0::IFeatureForceInclusion00d0", "Devio: Feature00d0 included");
}

Feature00d0DFU::Feature00d0DFU(int index, std::weak_ptr<IDevice> device) : Feature(Id, index, std::move(device)) {}

// A start answered without a status byte is a failure: the caller would otherwise take a status
// nobody sent as the device's acceptance.
bool Feature00d0DFU::DFUStart(Bytes block, int* status, Bytes* response) {
  Bytes payload;
  if (!sendFeatureCommand(StartFunction, block, payload, false)) return false;
  if (payload.size() <= StatusOffset) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(status, payload[StatusOffset]);
  if (response) *response = std::move(payload);
  return true;
}

bool Feature00d0DFU::DFUSendPacket(unsigned n, Bytes data) {
  const unsigned m = n + 1;
  xLog(Tag, LogInfo, "devio::Feature00d0DFU::DFUSendPacket", "DFUSendPacket:Sending packet : 0x%04x", m);
  Bytes payload;
  if (!sendFeatureCommand(static_cast<int>(m & 3), data, payload, false)) return false;
  fireStatus(m, payload);
  return true;
}

bool Feature00d0DFU::DFURestart(Byte value) {
  Bytes payload;
  return sendFeatureCommand(RestartFunction, {value}, payload, false);
}

// The packet number needs bytes 2 and 3; a notification without them is dropped.
void Feature00d0DFU::onFeatureReport(int /*function*/, const Bytes& payload) {
  if (payload.size() < PacketOffset + 2) {
    LastError::set(CommandResponseTooShort);
    return;
  }
  fireStatus(bigEndian16(payload, PacketOffset), payload);
}

// The payload is captured by value: run-loop subscribers run after this call returned.
void Feature00d0DFU::fireStatus(unsigned packet, const Bytes& payload) {
  Producer<Report>::produce([packet, payload](Report* s) { s->onDfuStatus(packet, payload); },
                            "IFeature00d0DFU::Report::onDfuStatus");
}

}  // namespace devio
