#include "devio/protocol/Feature0000Root.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature0000Root>(Feature0000Root::Id);

constexpr int GetFeatureFunction = 0;
constexpr int ProtocolVersionFunction = 1;  // also the ping
}  // namespace

IFeatureForceInclusion0000::IFeatureForceInclusion0000() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog("Feature0000Root", LogDebug, "devio::IFeatureForceInclusion0000::IFeatureForceInclusion0000",
         "Devio: Feature0000 included");
}

Feature0000Root::Feature0000Root(int index, std::weak_ptr<IDevice> device) : Feature(Id, index, std::move(device)) {}

bool Feature0000Root::GetFeature(unsigned featureId, int* featureIndex, bool* obsolete, bool* hidden, bool* engineering,
                                 int* version, bool cacheable) {
  Bytes payload;
  const Bytes params{static_cast<Byte>(featureId >> 8), static_cast<Byte>(featureId)};
  if (!sendFeatureCommand(GetFeatureFunction, params, payload, cacheable)) return false;
  payload.resize(3);
  const Byte flags = payload[1];
  store(featureIndex, payload[0]);
  store(obsolete, (flags & 0x80) != 0);
  store(hidden, (flags & 0x40) != 0);
  store(engineering, (flags & 0x20) != 0);
  store(version, payload[2]);
  xLog("Feature0000Root", LogInfo, "devio::Feature0000Root::GetFeature",
       "Feature0000Root::GetFeature(featureId = 0x%08x, *featureIndex = %d, *obsolete = %d, *hidden = %d, "
       "*engineering = %d, *version = %d)",
       featureId, payload[0], (flags & 0x80) != 0, (flags & 0x40) != 0, (flags & 0x20) != 0, payload[2]);
  return true;
}

bool Feature0000Root::GetProtocolVersion(int ping_sent, int* protocol, int* targetsw, int* ping_received) {
  Bytes payload;
  const Bytes params{0, 0, static_cast<Byte>(ping_sent)};
  if (!sendFeatureCommand(ProtocolVersionFunction, params, payload, ping_sent == 0)) return false;
  if (payload.size() < 3) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(protocol, payload[0]);
  store(targetsw, payload[1]);
  store(ping_received, payload[2]);
  xLog("Feature0000Root", LogInfo, "devio::Feature0000Root::GetProtocolVersion",
       "Feature0000Root::GetProtocolVersion(ping_sent = %d, *protocol = %d, *targetsw = %d, *ping_received = %d",
       ping_sent, payload[0], payload[1], payload[2]);
  return true;
}

bool Feature0000Root::TargetSw(int* protocol, int* targetsw) {
  std::unique_lock lock(mutex_);
  if (!read_) {
    // The exchange runs unlocked: the engine may come back into discovery while it retries.
    lock.unlock();
    int p = 0;
    int t = 0;
    if (!GetProtocolVersion(0, &p, &t, nullptr)) return false;
    lock.lock();
    protocol_ = static_cast<Byte>(p);
    targetSw_ = static_cast<Byte>(t);
    read_ = true;
  }
  store(protocol, protocol_);
  store(targetsw, targetSw_);
  xLog("Feature0000Root", LogInfo, "devio::Feature0000Root::TargetSw",
       "Feature0000Root::TargetSw(*protocol = %d, *targetsw = %d", protocol_, targetSw_);
  return true;
}

bool Feature0000Root::Ping(int value) {
  Bytes payload;
  const Byte ping = static_cast<Byte>(value);
  // Position 2 makes the engine wait for the answer that echoes this ping byte.
  if (!sendFeatureCommand(ProtocolVersionFunction, {0, 0, ping}, payload, false, {2})) return false;
  if (payload.size() < 3) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  if (payload[2] != ping) {
    LastError::set(PingMismatch);
    return false;
  }
  xLog("Feature0000Root", LogInfo, "devio::Feature0000Root::Ping", "Feature0000Root::Ping(%d)", value);
  return true;
}

}  // namespace devio
