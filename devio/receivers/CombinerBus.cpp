#include "devio/receivers/CombinerBus.h"

#include "devio/protocol/LastError.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::CombinerBus::" #name

namespace devio {

namespace {
constexpr const char* kTag = "CombinerBus";

bool completePiece(IHardwareDevice& piece) { return piece.device_report_types() == piece.report_types(); }
}  // namespace

std::shared_ptr<CombinerBus> CombinerBus::create(std::shared_ptr<IHardwareBus> inner,
                                                 std::weak_ptr<IDeviceManager> manager) {
  return std::shared_ptr<CombinerBus>(new CombinerBus(std::move(inner), std::move(manager)));
}

CombinerBus::CombinerBus(std::shared_ptr<IHardwareBus> inner, std::weak_ptr<IDeviceManager> manager)
    : inner_(std::move(inner)), manager_(std::move(manager)) {}

std::vector<std::shared_ptr<IHardwareDevice>> CombinerBus::devices() {
  xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices enter");
  std::vector<std::shared_ptr<IHardwareDevice>> result;
  std::vector<std::shared_ptr<IHardwareDevice>> completed;
  if (!subscribed_) {
    // Its own lock, never taken by the inner bus's events (which come only once subscribed).
    std::lock_guard lock(subscribeMutex_);
    // Direct: the inner bus's thread merges pieces as they come.
    if (!subscribed_ && !Subscriber<IHardwareBus::PlugUnplug>::subscribe(inner_, Direct)) {
      xLog(kTag, LogError, FN(devices), "CombinerBus::devices exit (false, subscribe failed)");
      return {};
    }
    subscribed_ = true;
  }
  // Without the lock: the inner bus's enumeration may need its own thread, which may be waiting
  // for the lock with a piece that arrived.
  LastError::set(Success);
  const auto pieces = inner_->devices();
  if (pieces.empty() && LastError::get().code != Success) {
    xLog(kTag, LogError, FN(devices), "CombinerBus::devices exit (propogating error %d)",
         static_cast<int>(LastError::get().code));
    return {};
  }
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, device] : combined_) {
      if (device->whole()) result.push_back(device);
    }
    for (const auto& piece : pieces) {
      if (completePiece(*piece)) {
        xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices single complete piece");
        result.push_back(piece);
        continue;
      }
      const std::string id = piece->physical_id();
      const auto it = combined_.find(id);
      if (it == combined_.end()) {
        xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices using a piece to start creating a new device");
        auto device = std::make_shared<CombinerDevice>(weak_from_this(), piece);
        combined_.emplace(id, device);
        continue;
      }
      const auto& device = it->second;
      const bool wasWhole = device->whole();
      xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices merging in a piece");
      if (!device->add_piece(piece)) {
        xLog(kTag, LogError, FN(devices), "CombinerBus::devices exit (false, failed to add piece, err=%d)",
             static_cast<int>(LastError::get().code));
        return {};
      }
      if (!wasWhole && device->whole()) {
        xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices adding a piece finished a device to completion");
        result.push_back(device);
        completed.push_back(device);
      }
    }
  }
  for (const auto& device : completed) producePlug(device, "CombinerBus::devices producing onPlug event");
  xLog(kTag, LogDebug, FN(devices), "CombinerBus::devices exit (success, returning %d devices)",
       static_cast<int>(result.size()));
  LastError::set(Success);
  return result;
}

void CombinerBus::onPlug(std::shared_ptr<IHardwareDevice> piece) {
  xLog(kTag, LogDebug, FN(onPlug), "CombinerBus::onPlug enter (pid = 0x%x)", piece->pid());
  if (!piece->open()) {
    xLog(kTag, LogDebug, FN(onPlug), "CombinerBus::onPlug exit, ignoring device it could not open");
    return;
  }
  if (completePiece(*piece)) {
    producePlug(piece, "CombinerBus::onPlug producing onPlug event");
    return;
  }
  // The piece is merged by enumerating again; a device it completes is announced there.
  if (devices().empty() && LastError::get().code != Success) {
    if (auto manager = manager_.lock()) manager->report_unreported_error("CombinerBus::onPlug");
  }
}

void CombinerBus::onUnplug(std::shared_ptr<IHardwareDevice> piece) {
  xLog(kTag, LogDebug, FN(onUnplug), "CombinerBus::onUnplug enter (pid = 0x%x)", piece->pid());
  produceUnplug(piece, "CombinerBus::onUnplug producing unPlug event for individual piece");
  std::vector<std::shared_ptr<IHardwareDevice>> broken;
  {
    std::lock_guard lock(mutex_);
    for (auto it = combined_.begin(); it != combined_.end();) {
      const auto device = it->second;
      const bool wasWhole = device->whole();
      if (device->remove_piece(piece)) {
        xLog(kTag, LogDebug, FN(onUnplug), "CombinerBus::onUnplug removing device");
        it = combined_.erase(it);
      } else {
        ++it;
      }
      if (wasWhole && !device->whole()) broken.push_back(device);
    }
  }
  for (const auto& device : broken) {
    produceUnplug(device, "CombinerBus::onUnplug producing unPlug event for combined device");
  }
}

void CombinerBus::onPowerChange(bool standBy) {
  xLog(kTag, LogDebug, FN(onPowerChange), "CombinerBus::onPowerChange(standBy=%d)", standBy ? 1 : 0);
  Producer<IHardwareBus::PlugUnplug>::produce([standBy](IHardwareBus::PlugUnplug* s) { s->onPowerChange(standBy); }, "CombinerBus::PlugUnplug::onPowerChange");
}

void CombinerBus::producePlug(const std::shared_ptr<IHardwareDevice>& device, const char* log) {
  xLog(kTag, LogDebug, FN(producePlug), "%s", log);
  Producer<IHardwareBus::PlugUnplug>::produce([device](IHardwareBus::PlugUnplug* s) { s->onPlug(device); }, "CombinerBus::PlugUnplug::onPlug");
}

void CombinerBus::produceUnplug(const std::shared_ptr<IHardwareDevice>& device, const char* log) {
  xLog(kTag, LogDebug, FN(produceUnplug), "%s", log);
  Producer<IHardwareBus::PlugUnplug>::produce([device](IHardwareBus::PlugUnplug* s) { s->onUnplug(device); }, "CombinerBus::PlugUnplug::onUnplug");
}

}  // namespace devio
