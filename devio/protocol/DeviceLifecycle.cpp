// The lifecycle of Device: hardware subscriptions, connection and disconnection, the session's
// active state, configuration ownership through the cookie of feature 0x0020, deactivation,
// shutdown and removal. Everything here runs on the run-loop thread unless noted.
#include <algorithm>
#include <chrono>

#include "devio/protocol/Device.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0020ConfigChange.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Device";
constexpr unsigned kConfigChangeId = 0x0020;
constexpr unsigned kWirelessStatusId = 0x1D4B;
constexpr int kDeactivationDelayMs = 5000;
constexpr int kConnectRetryDelayMs = 1000;

void clearConfigured(const std::shared_ptr<IFeature>& feature) {
  if (auto f = std::dynamic_pointer_cast<Feature>(feature)) f->clear_configured();
}

}  // namespace

// ---- hardware subscriptions (any thread) ----

bool Device::ensureHardwareSubscriptions() {
  const auto refuseRemoved = [] {
    LastError::set(DeviceRemoved);
    return false;
  };
  if (removed_) return refuseRemoved();
  if (subscribedOnce_) return true;
  std::lock_guard lock(hardwareMutex_);
  if (removed_) return refuseRemoved();
  if (subscribedOnce_) return true;
  if (!Subscriber<IHardwareDevice::Connect>::subscribe(hwdev_, RunLoop)) {
    reportError("Device::initDevice subscribe(IHardwareDevice::Connect)");
    return false;
  }
  if (hwdev_->connected()) {
    subscribeReadLocked("Device::initDevice subscribe(IHardwareDevice::Read)");
    connected_ = active_.load();
  } else {
    connected_ = false;
  }
  subscribedOnce_ = true;
  return true;
}

void Device::subscribeReadLocked(const char* failureText) {
  if (readSubscribed_) return;
  readSubscribed_ = Subscriber<IHardwareDevice::Read>::subscribe(hwdev_, Direct);
  if (!readSubscribed_) reportError(failureText);
  hwdev_->open();
}

void Device::reportError(const char* what) {
  if (auto manager = manager_.lock()) manager->report_unreported_error(what);
}

bool Device::connected() {
  ensureHardwareSubscriptions();
  int none = 0;
  reportedState_.compare_exchange_strong(none, connected_ ? 2 : 1);
  return connected_;
}

bool Device::on_subscribe(IDevice::Connect*) {
  xLog(kTag, LogDebug, FN(on_subscribe), "subscribing to connect");
  ensureHardwareSubscriptions();
  return true;
}

// ---- events ----

void Device::produceConnect(bool configured_by_us) {
  std::shared_ptr<IDevice> self = shared_from_this();
  Producer<IDevice::Connect>::produce(
      [self, configured_by_us](IDevice::Connect* s) { s->onConnect(self, configured_by_us); },
      "Device::Connect::onConnect");
}

void Device::produceDisconnect() {
  std::shared_ptr<IDevice> self = shared_from_this();
  Producer<IDevice::Connect>::produce([self](IDevice::Connect* s) { s->onDisconnect(self); },
                                      "Device::Connect::onDisconnect");
}

void Device::produceConfigChange() {
  Producer<IDevice::ConfigChange>::produce([](IDevice::ConfigChange* s) { s->onConfigChange(); },
                                           "Device::Report::onConfigChange");
}

// ---- connection ----

void Device::onConnect(std::shared_ptr<IHardwareDevice>) { handleConnect(); }

void Device::handleConnect() {
  const int productId = pid();
  xLog(kTag, LogInfo, FN(onConnect), "-connect- pid=%04x begin...", productId);
  ensureHardwareSubscriptions();
  {
    std::lock_guard lock(hardwareMutex_);
    subscribeReadLocked("Device::onConnect subscribe(IHardwareDevice::Read)");
  }
  if (connected_) {
    xLog(kTag, LogInfo, FN(onConnect), "connect of already connected device");
    Clock::time_point last;
    {
      std::lock_guard lock(reportTimeMutex_);
      last = lastReportTime_;
    }
    const long sinceLast =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(clock_->now() - last).count());
    xLog(kTag, LogInfo, FN(onConnect), "its been %ld milliseconds since last report", sinceLast);
    if (sinceLast < kConnectRetryDelayMs) {
      xLog(kTag, LogInfo, FN(onConnect), "time since last report less than a second, so delaying onConnect processing");
      if (fw_check_timer) fw_check_timer->start_if_idle(kConnectRetryDelayMs);
      xLog(kTag, LogDebug, FN(onConnect), "...Device::onConnect() pid=0x%x end.", productId);
      return;
    }
  }
  if (!active_) {
    if (configured()) {
      xLog(kTag, LogInfo, FN(onConnect), "inactive session, device configured, connect triggering deactivation");
      if (deactivation_timer) deactivation_timer->restart(kDeactivationDelayMs);
    } else {
      xLog(kTag, LogInfo, FN(onConnect), "inactive session, device not configured, connect ignored");
    }
    xLog(kTag, LogDebug, FN(onConnect), "...Device::onConnect() pid=0x%x end.", productId);
    return;
  }
  if (brbActive_) {
    xLog(kTag, LogInfo, FN(onConnect), "Deactivating brb workaround");
    brbActive_ = false;
  }

  bool configuredByUs = configured();
  bool lost = false;
  bool lostToOther = false;
  if (!do_fwcheck()) {
    const ErrorCode code = LastError::get().code;
    if (code == NotConnected) {
      xLog(kTag, LogInfo, FN(onConnect), "Not reporting connect due to NotConnected");
      return;
    }
    xLog(kTag, LogWarning, FN(onConnect), "onConnect: fw check failed, err=%d", static_cast<int>(code));
    LastError::set(Success);
    configuredByUs = false;
    xLog(kTag, LogInfo, FN(onConnect), "onConnect: device not configured");
  } else if (!configuredByUs) {
    xLog(kTag, LogInfo, FN(onConnect), "onConnect: device not configured");
  } else if (auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId); !configChange) {
    if (LastError::get().code == NotConnected) {
      xLog(kTag, LogInfo, FN(onConnect), "Not reporting connect due to NotConnected");
      return;
    }
    xLog(kTag, LogInfo, FN(onConnect), "onConnect: losing configuration because no 0x0020 feature present");
    lost = true;
  } else {
    xLog(kTag, LogInfo, FN(onConnect), "OnConnect is reading cookie");
    unsigned short cookie = 0;
    if (!configChange->GetCookie(&cookie)) {
      const ErrorCode code = LastError::get().code;
      xLog(kTag, LogWarning, FN(onConnect), "onConnect: could not read cookie, err=%d", static_cast<int>(code));
      if (code == NotConnected) {
        xLog(kTag, LogInfo, FN(onConnect), "Not reporting connect due to NotConnected");
        return;
      }
      xLog(kTag, LogInfo, FN(onConnect), "onConnect: losing configuration because could not get cookie");
      lost = true;
    } else {
      xLog(kTag, LogInfo, FN(onConnect), "OnConnect: read cookie %04x", cookie);
      if (cookie == cookie_) {
        xLog(kTag, LogInfo, FN(onConnect), "onConnect: cookie matched");
      } else {
        xLog(kTag, LogInfo, FN(onConnect), "onConnect: losing configuration because cookie did not match");
        lost = true;
        lostToOther = true;
        if (cookie != 0) otherCookie_ = cookie;
      }
    }
  }

  if (has_pending() && !lost && !replayPendingChanges(configuredByUs, &lost)) return;

  if (lost) {
    if (configured()) produceConfigChange();
    dropConfiguredFeatures("onConnect: telling feature 0x%04x about the lost configuration");
    configuredByUs = false;
    if (!lostToOther) device_unowned_but_dirty = true;
  }
  connected_ = true;
  reportedState_ = 2;
  xLog(kTag, LogInfo, FN(onConnect), "-connect- sending connect pid %04x with device_configured_by_us = %d", productId,
       configuredByUs ? 1 : 0);
  produceConnect(configuredByUs);
  xLog(kTag, LogDebug, FN(onConnect), "...Device::onConnect() pid=0x%x end.", productId);
}

bool Device::replayPendingChanges(bool configured, bool* lost) {
  xLog(kTag, LogInfo, FN(onConnect), "onConnect: Letting features write pending changes");
  while (const auto pending = firstPending()) {
    const auto feature = std::dynamic_pointer_cast<Feature>(pending);
    if (feature) feature->set_replaying(true);
    const bool written = !feature || feature->process_pending_changes(configured);
    const LastError error = LastError::get();
    if (feature) feature->set_replaying(false);
    if (!written && error.code == NotConnected) {
      // The change stays queued: the channel announces the connection again and it is replayed then.
      xLog(kTag, LogWarning, FN(onConnect),
           "onConnect: losing configuration because some feature could not write pending changes, err=%d",
           static_cast<int>(error.code));
      xLog(kTag, LogInfo, FN(onConnect), "Not reporting connect due to NotConnected");
      return false;
    }
    {
      // Found again: forget() may have emptied the queue meanwhile.
      std::lock_guard lock(featureListsMutex_);
      if (const auto it = std::find(pendingFeatures_.begin(), pendingFeatures_.end(), pending);
          it != pendingFeatures_.end())
        pendingFeatures_.erase(it);
    }
    // Either way the feature leaves the queue; a later change must be able to queue it again.
    if (feature) feature->clear_pending();
    if (!written) {
      xLog(kTag, LogWarning, FN(onConnect),
           "onConnect: losing configuration because some feature could not write pending changes, err=%d",
           static_cast<int>(error.code));
      *lost = true;
    }
  }
  if (auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId)) {
    xLog(kTag, LogInfo, FN(onConnect), "onConnect is writing cookie to 0x0020 feature (config complete)");
    if (!configChange->SetCookie(cookie_)) {
      const ErrorCode code = LastError::get().code;
      xLog(kTag, LogWarning, FN(onConnect),
           "onConnect: losing configuration because could not write configuration complete to receiver, err=%d",
           static_cast<int>(code));
      *lost = true;
      if (code == NotConnected) {
        xLog(kTag, LogInfo, FN(onConnect), "Not reporting connect due to NotConnected");
        return false;
      }
    }
  }
  return true;
}

void Device::onDisconnect(std::shared_ptr<IHardwareDevice>) { handleDisconnect(); }

void Device::handleDisconnect() {
  const int productId = pid();
  xLog(kTag, LogInfo, FN(onDisconnect), "Device::onDisconnect enter, pid = 0x%x", productId);
  if (deactivation_timer) deactivation_timer->stop();
  if (fw_check_timer) fw_check_timer->stop();
  connected_ = false;
  reportedState_ = 1;
  produceDisconnect();
  xLog(kTag, LogInfo, FN(onDisconnect), "Device::onDisconnect exit, pid = 0x%x", productId);
}

void Device::confirm_configuration() {
  xLog(kTag, LogInfo, FN(confirm_configuration), "Device::confirm_configuration(pid = 0x%04x) begin...", pid());
  if (subscribedOnce_ && hwdev_->connected()) handleConnect();
  xLog(kTag, LogInfo, FN(confirm_configuration), "Device::confirm_configuration(pid = 0x%04x) ...end", pid());
}

// ---- session activity and deactivation ----

void Device::onActiveChanged(bool active) {
  xLog(kTag, LogDebug, FN(onActiveChanged), "Device::onActiveChanged(active = %d)", active ? 1 : 0);
  if (active == active_) return;
  active_ = active;
  xLog(kTag, LogInfo, FN(onActiveChanged), "Changed active state to %d", active ? 1 : 0);
  if (!subscribedOnce_ || !hwdev_->connected()) return;
  if (active) {
    xLog(kTag, LogInfo, FN(onActiveChanged), "Going active while device %04x is connected", pid());
    if (deactivation_timer) deactivation_timer->stop();
    handleConnect();
  } else {
    xLog(kTag, LogInfo, FN(onActiveChanged), "Going inactive while device %04x is connected", pid());
    handleDisconnect();
    if (configured() && deactivation_timer) deactivation_timer->restart(kDeactivationDelayMs);
  }
}

void Device::deactivate() {
  const int productId = pid();
  xLog(kTag, LogInfo, FN(onTimerEvent), "Starting deactivation of device %04x", productId);
  if (active_) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "Deactivation for device %04x skipped due to active_", productId);
    return;
  }
  if (!subscribedOnce_ || !hwdev_->connected()) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "Deactivation for device %04x skipped due to !hwdev->connected()", productId);
    return;
  }
  const auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId);
  if (!configChange) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "Deactivation: skipping deactivation because no 0x0020 feature");
    return;
  }
  xLog(kTag, LogInfo, FN(onTimerEvent),
       "Deactivation is checking 0x0020 feature to see if we still hold the configuration");
  unsigned short cookie = 0;
  if (!configChange->GetCookie(&cookie)) {
    xLog(kTag, LogWarning, FN(onTimerEvent), "Deactivation: skipping deactivation because could not read cookie, err=%d",
         static_cast<int>(LastError::get().code));
    return;
  }
  if (cookie != cookie_) {
    xLog(kTag, LogInfo, FN(onTimerEvent), "Deactivation: skipping deactivation because cookie did not match");
    if (cookie != 0) otherCookie_ = cookie;
    return;
  }
  xLog(kTag, LogInfo, FN(onTimerEvent),
       "Deactivation: we still hold configuration, resetting device by clearing 0x0020 cookie");
  if (!configChange->SetCookie(0)) {
    xLog(kTag, LogWarning, FN(onTimerEvent), "could not clear cookie in 0x0020 feature, errcode=%d",
         static_cast<int>(LastError::get().code));
  }
  if (configured()) produceConfigChange();
  dropConfiguredFeatures("onConnect: telling feature 0x%04x about the reset");
}

void Device::onTimerEvent(int id) {
  // A removed device neither reconnects nor gives up a configuration any more.
  if (removed_ && id != CacheWriteTimerId) return;
  switch (id) {
    case DeactivationTimerId:
      deactivate();
      break;
    case CacheWriteTimerId:
      perform_cache_write();
      break;
    case FwCheckTimerId:
      handleConnect();
      break;
    default:
      break;
  }
}

// ---- configuration ownership ----

void Device::dropConfiguredFeatures(const char* format) {
  std::vector<std::shared_ptr<IFeature>> dropped;
  {
    std::lock_guard lock(featureListsMutex_);
    dropped.swap(configuredFeatures_);
  }
  for (const auto& feature : dropped) {
    xLog(kTag, LogInfo, FN(onConnect), format, feature->id());
    clearConfigured(feature);
  }
}

std::shared_ptr<IReceiverConfiguration> Device::receiverConfiguration() {
  auto receiver = std::dynamic_pointer_cast<IReceiverConfiguration>(bus());
  if (!receiver) LastError::set(Unavailable, 0, "the receiver cannot be reached");
  return receiver;
}

bool Device::configured() {
  std::lock_guard lock(featureListsMutex_);
  return !configuredFeatures_.empty();
}

bool Device::has_pending() {
  std::lock_guard lock(featureListsMutex_);
  return !pendingFeatures_.empty();
}

std::shared_ptr<IFeature> Device::firstPending() {
  std::lock_guard lock(featureListsMutex_);
  return pendingFeatures_.empty() ? nullptr : pendingFeatures_.front();
}

bool Device::set_configured(std::shared_ptr<IFeature> feature) {
  if (shutdown_) return true;
  {
    std::lock_guard lock(featureListsMutex_);
    if (!configuredFeatures_.empty()) {
      configuredFeatures_.push_back(std::move(feature));
      device_unowned_but_dirty = false;
      return true;
    }
  }
  if (transport() == 1) {
    receiverNotified_ = true;
    const auto receiver = receiverConfiguration();
    if (!receiver || !receiver->set_software_present()) return false;
  }
  if (auto wirelessStatus = feature_by_id(kWirelessStatusId)) {
    Subscriber<IFeature1D4BWirelessStatus::Report>::subscribe(wirelessStatus, RunLoop);  // failure ignored
  }
  if (auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId)) {
    unsigned short existing = 0;
    if (!configChange->GetCookie(&existing)) return false;
    xLog(kTag, LogInfo, FN(set_configured), "set_configured read existing cookie from device: 0x%04x", existing);
    if (existing != 0) {
      xLog(kTag, LogInfo, FN(set_configured), "set_configured is writing 0 cookie to 0x0020 feature to reset device");
      otherCookie_ = existing;
      if (!configChange->SetCookie(0)) return false;
    }
    cookie_ = static_cast<std::uint16_t>(random(1, 0xFFFE));
    if (cookie_ >= otherCookie_) ++cookie_;  // never the foreign cookie
    xLog(kTag, LogInfo, FN(set_configured), "set_configured picked a new cookie 0x%04x", cookie_);
    if (has_pending()) {
      xLog(kTag, LogInfo, FN(set_configured),
           "set_configured delaying writing of new cookie because we are processing a pending change");
    } else {
      xLog(kTag, LogInfo, FN(set_configured), "set_configured is writing new cookie to 0x0020 feature");
      if (!configChange->SetCookie(cookie_)) return false;
    }
  } else if (LastError::get().code != NotPresent) {
    // The device may well have the feature: owning it without a cookie would go unnoticed.
    return false;
  }
  xLog(kTag, LogInfo, FN(set_configured), "-api- set_configured produuing onConfigChange");
  produceConfigChange();
  {
    std::lock_guard lock(featureListsMutex_);
    configuredFeatures_.push_back(std::move(feature));
  }
  device_unowned_but_dirty = false;
  return true;
}

bool Device::add_pending(std::shared_ptr<IFeature> feature) {
  if (shutdown_) return true;
  if (transport() == 1 && !has_pending()) {
    const auto receiver = receiverConfiguration();
    if (!receiver) return false;
    if (!receiverNotified_) {
      receiverNotified_ = true;
      if (!receiver->set_software_present()) return false;
    }
    if (!receiver->set_slot_flag(link_index() - 1)) return false;
  }
  {
    std::lock_guard lock(featureListsMutex_);
    pendingFeatures_.push_back(std::move(feature));
  }
  return true;
}

void Device::onWirelessStatusEvent(bool reconnect, bool config_needed, bool powerswitch) {
  xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "enter, reconnect=%d, config_needed=%d, powerswitch=%d",
       reconnect ? 1 : 0, config_needed ? 1 : 0, powerswitch ? 1 : 0);
  if (!config_needed) {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "exit, no config needed");
    return;
  }
  if (!configured()) {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "exit, no features configured");
    return;
  }
  if (const auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId); !configChange) {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "feature 0020 missing");
    if (LastError::get().code == NotConnected) {
      xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "Not reporting lost settings due to NotConnected");
      return;
    }
  } else {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "reading 0020 cookie");
    unsigned short cookie = 0;
    if (configChange->GetCookie(&cookie)) {
      xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "OnConnect: read cookie %04x", cookie);
      if (cookie == cookie_) {
        xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "Not reporting lost settings due to cookie matching");
        return;
      }
      xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "cookie did not match");
    } else {
      xLog(kTag, LogWarning, FN(onWirelessStatusEvent), "failed to get 0020 cookie");
      if (LastError::get().code == NotConnected) {
        xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "Not reporting lost settings due to NotConnected");
        return;
      }
    }
  }
  if (reportedState_ == 2) {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "reporting settings lost via an onDisconnect/onConnect sequence");
    produceDisconnect();
    produceConnect(false);
  } else {
    xLog(kTag, LogInfo, FN(onWirelessStatusEvent),
         "Not reporting lost settings due to latest reported connected state being other than connected");
  }
  xLog(kTag, LogInfo, FN(onWirelessStatusEvent), "exit");
}

bool Device::shutdown() {
  shutdown_ = true;
  xLog(kTag, LogInfo, FN(shutdown), "Device::shutdown");
  bool result = true;
  if (receiverNotified_ && transport() == 1) {
    const auto receiver = receiverConfiguration();
    result = receiver && receiver->shutdown_receiver();
  }
  if (configured() || device_unowned_but_dirty) {
    xLog(kTag, LogInfo, FN(shutdown), "configured = %d, device_unowned_but_dirty = %d", configured() ? 1 : 0,
         device_unowned_but_dirty ? 1 : 0);
    if (const auto configChange = feature_as<IFeature0020ConfigChange>(kConfigChangeId)) {
      xLog(kTag, LogInfo, FN(shutdown), "set_configured is resetting device by clearing cookie in 0x0020 feature");
      if (!configChange->SetCookie(0)) {
        xLog(kTag, LogWarning, FN(shutdown), "could not clear cookie in 0x0020 feature, errcode=%d",
             static_cast<int>(LastError::get().code));
      }
    }
    {
      std::lock_guard lock(featureListsMutex_);
      configuredFeatures_.clear();
    }
    device_unowned_but_dirty = false;
  }
  return result;
}

// ---- removal ----

bool Device::uninitDevice() {
  xLog(kTag, LogInfo, FN(uninitDevice), "Device::uninitDevice() enter");
  removed_ = true;  // from here on nothing subscribes again
  {
    std::lock_guard lock(hardwareMutex_);
    readSubscribed_ = false;
    subscribedOnce_ = false;
    connected_ = false;  // a removed device never reports itself connected
  }
  // Without the lock: leaving Read waits for a report handler that may be running.
  Subscriber<IHardwareDevice::Connect>::unsubscribe(hwdev_);
  Subscriber<IHardwareDevice::Read>::unsubscribe(hwdev_);
  if (auto manager = manager_.lock()) Subscriber<IDeviceManager::ActiveChanged>::unsubscribe(manager);
  hwdev_->close();
  xLog(kTag, LogInfo, FN(uninitDevice), "Device::uninitDevice() exit");
  return true;
}

}  // namespace devio
