#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"
#include "devio/protocol/IFeature.h"
#include "devio/protocol/IReceiverConfiguration.h"
#include "devio/features/IFeature1D4BWirelessStatus.h"
#include "devio/runtime/Clock.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/ITimer.h"
#include "devio/runtime/NamedMutex.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

// The protocol object for one device: the command engine (Device.cpp's sending and read
// handling, DeviceCommands.cpp), the lifecycle with configuration ownership (DeviceLifecycle.cpp)
// and feature discovery with the persistent cache (DeviceDiscovery.cpp).
class Device : public IDevice,
               public Producer<IDevice::Report>,
               public Producer<IDevice::WriteReport>,
               public Producer<IDevice::Connect>,
               public Producer<IDevice::ConfigChange>,
               public Subscriber<IHardwareDevice::Read>,
               public Subscriber<IHardwareDevice::Write>,
               public Subscriber<IHardwareDevice::Connect>,
               public Subscriber<IDeviceManager::ActiveChanged>,
               public Subscriber<IFeature1D4BWirelessStatus::Report>,
               public Subscriber<ITimer::TimerEvent>,
               public std::enable_shared_from_this<Device> {
 public:
  // Timer ids.
  static constexpr int DeactivationTimerId = 0;
  static constexpr int CacheWriteTimerId = 1;
  static constexpr int FwCheckTimerId = 2;

  Device(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> hwdev,
         std::shared_ptr<Clock> clock = Clock::steady());
  ~Device() override;

  // IDevice
  bool initDevice(std::shared_ptr<IDeviceManager> manager) override;
  bool uninitDevice() override;
  bool connected() override;
  bool removed() override;
  int type() override;
  int transport() override;
  int link_index() override;
  std::shared_ptr<IHardwareBus> bus() override;
  std::string path() override;
  int pid() override;
  std::string name() override;
  int swid() override;
  int receiver_activity() override;
  bool set_configured(std::shared_ptr<IFeature> feature) override;
  bool configured() override;
  bool add_pending(std::shared_ptr<IFeature> feature) override;
  bool has_pending() override;
  bool shutdown() override;
  void forget() override;
  std::weak_ptr<IDeviceManager> device_manager() override;
  std::shared_ptr<IFeature> feature_by_id(unsigned id) override;
  std::vector<std::shared_ptr<IFeature>> features() override;
  bool sendCommand(const Bytes& cmd, bool check) override;
  bool sendSynchronousCommand(const Bytes& cmd, Bytes* rsp, bool cacheable, const std::vector<int>& match) override;
  void abandon() override;
  bool retry_load_feature_root() override;
  int receiver_status() override;
  void confirm_configuration() override;

  // lo + (rand() mod (hi - lo + 1)).
  int random(int lo, int hi);

  // Command engine.
  bool sendSynchronousCommandWithoutRetry(const Bytes& cmd, Bytes* rsp, const std::vector<int>& match, bool is_command);

  // Discovery, firmware identity and persistent cache.
  bool load_feature_root(bool retry);
  std::shared_ptr<IFeature> load_feature(unsigned id, bool cacheable);
  bool load_features();
  std::string read_fwinfo(bool cached);
  bool load_fwinfo(bool cache_was_filled);
  bool do_fwcheck();
  void persistent_data_directory(std::string dir);
  std::string persistent_data_directory() const { return persistentDirectory_; }
  void perform_cache_read();
  void perform_cache_write();

  // Event handlers (threads: Read/Write on the channel's read thread; the others on the run loop).
  void onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) override;
  void onWrite(Bytes report, ErrorCode error, unsigned system_error) override;
  void onConnect(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onDisconnect(std::shared_ptr<IHardwareDevice> hwdev) override;
  void onActiveChanged(bool active) override;
  void onWirelessStatusEvent(bool reconnect, bool config_needed, bool powerswitch) override;
  void onTimerEvent(int id) override;

 protected:
  // Producer hooks: subscribing to Connect ensures the hardware subscriptions; subscribing to
  // WriteReport subscribes to the channel's Write event.
  bool on_subscribe(IDevice::Connect* subscriber) override;
  bool on_subscribe(IDevice::WriteReport* subscriber) override;

  // For a device that is a bus as well (a receiver): its channel and the session's state as this
  // device last heard it.
  const std::shared_ptr<IHardwareDevice>& hardware() const { return hwdev_; }
  bool active() const { return active_; }

 private:
  // The feature with this id as interface I: empty with the lookup's LastError when absent,
  // empty with GeneralError "cannot cast feature to proper type" when it is of another kind.
  template <class I>
  std::shared_ptr<I> feature_as(unsigned id) {
    std::shared_ptr<IFeature> feature = feature_by_id(id);
    if (!feature) return nullptr;
    auto typed = std::dynamic_pointer_cast<I>(feature);
    if (!typed) LastError::set(GeneralError, 0, "cannot cast feature to proper type");
    return typed;
  }

  // ---- Command engine helpers (DeviceCommands.cpp) ----
  // The read handler's class of one report (a copy: byte 1 may be normalised); completes the
  // pending exchange or hands the report to its feature on the way.
  ReportType classify(Bytes report, bool index_is_self);
  // Under the command mutex: ends the waiting exchange when report answers it.
  bool completePending(const Bytes& report);
  // The feature at index (empty when none); *tableEmpty tells whether the table is empty.
  std::shared_ptr<IFeature> tableEntry(int index, bool* tableEmpty);
  bool featureTableEmpty();
  // The software id a ping carries; after a conflict the id other programs used least recently.
  int chooseSoftwareId();
  // Waits ms on the clock; false when the device was abandoned meanwhile.
  bool pauseBeforePing(int ms);
  // A write report that arrived while its thread held the command mutex for an exchange.
  struct HeldWrite {
    Bytes report;
    ErrorCode error;
    unsigned system_error;
  };
  // One exchange under the command mutex; the write reports it held are moved to *held.
  bool exchange(const Bytes& cmd, Bytes* rsp, const std::vector<int>& match, bool is_command,
                std::vector<HeldWrite>* held);
  // A failed exchange: the write handler sees it, and LastError holds it.
  void failExchange(const LastError& error);
  // The cached answer to cmd with the current software id, or false.
  bool cachedAnswer(const Bytes& cmd, Bytes* rsp);
  void storeAnswer(const Bytes& sent, const Bytes& answer);

  // ---- Lifecycle helpers (DeviceLifecycle.cpp) ----
  // The channel's Connect subscription and, while it is connected, Read; once until uninitDevice.
  bool ensureHardwareSubscriptions();
  // With hardwareMutex_ held.
  void subscribeReadLocked(const char* failureText);
  void reportError(const char* what);
  void handleConnect();
  void handleDisconnect();
  // Replays the pending changes and rewrites the cookie; false when NotConnected ends the handling.
  bool replayPendingChanges(bool configured, bool* lost);
  void deactivate();
  // Clears every configured feature's flag (logging format with its id) and empties the list.
  void dropConfiguredFeatures(const char* format);
  // The first feature waiting to replay its change, or null.
  std::shared_ptr<IFeature> firstPending();
  std::shared_ptr<IReceiverConfiguration> receiverConfiguration();
  void produceConnect(bool configured_by_us);
  void produceDisconnect();
  void produceConfigChange();
  // Serialises making and dropping the hardware subscriptions. Taken before the channel's own
  // locks, so never under the command mutex: once made, the subscriptions are seen through the
  // atomic subscribedOnce_ without it.
  std::mutex hardwareMutex_;

  // ---- Discovery helpers (DeviceDiscovery.cpp) ----
  // A new object of the feature's class carrying the device's table flags.
  std::shared_ptr<IFeature> makeFeature(unsigned id, int index, bool obsolete, bool hidden, bool engineering,
                                        int version);
  // Puts feature at index unless an object for the same feature id is there already; answers
  // the object in the table.
  std::shared_ptr<IFeature> keepFeature(int index, std::shared_ptr<IFeature> feature);
  // The cache file of this device in directory; empty when directory is.
  std::string cacheFilePath(const std::string& directory);

  // Lifecycle.
  std::weak_ptr<IDeviceManager> manager_;
  std::shared_ptr<IHardwareDevice> hwdev_;
  std::shared_ptr<Clock> clock_;
  std::atomic<bool> removed_{false};
  bool shutdown_ = false;
  std::atomic<bool> subscribedOnce_{false};
  bool readSubscribed_ = false;  // guarded by hardwareMutex_
  std::atomic<bool> connected_{false};
  std::atomic<int> reportedState_{0};  // 0 none yet, 1 disconnected, 2 connected
  std::atomic<bool> active_{true};
  std::uint16_t cookie_ = 0;
  std::uint16_t otherCookie_ = 0;
  // forget() may come from any caller's thread (a firmware change found by its command): the
  // lists are touched under their mutex only, which is never held while a feature is called.
  std::mutex featureListsMutex_;
  std::vector<std::shared_ptr<IFeature>> configuredFeatures_;
  std::vector<std::shared_ptr<IFeature>> pendingFeatures_;
  bool device_unowned_but_dirty = false;
  bool receiverNotified_ = false;
  std::shared_ptr<ITimer> deactivation_timer;
  std::shared_ptr<ITimer> cache_write_timer;
  std::shared_ptr<ITimer> fw_check_timer;

  // Command engine.
  std::unique_ptr<NamedMutex> namedMutex_;
  std::mutex commandMutex_;
  std::condition_variable commandCondition_;
  std::atomic<std::thread::id> exchangeThread_{};  // holds commandMutex_ for an exchange
  std::vector<HeldWrite> heldWrites_;              // touched by exchangeThread_ only
  Bytes pendingCommand_;
  std::vector<int> pendingMatch_;
  Bytes response_;
  bool readCompleted_ = true;
  Bytes previousCommand_;
  std::vector<int> previousMatch_;
  bool brbEnabled_ = false;
  std::atomic<bool> brbActive_{false};
  bool _initiated_brb_workaround = false;
  std::atomic<bool> abandoned_{false};
  int swid_ = 0;
  std::mutex stampMutex_;
  std::array<int, 16> swidStamps_{};
  int stampCounter_ = 0;
  std::atomic<bool> swidChangeNeeded_{false};
  std::atomic<bool> needPing_{false};
  std::atomic<bool> needFwCheck_{false};
  int timeoutMs_ = 3000;
  int retries_ = 10;
  std::map<Bytes, Bytes> commandCache_;  // commandCache_ and cacheDirty_ are guarded by commandMutex_
  bool cacheDirty_ = false;
  std::mutex reportTimeMutex_;
  Clock::time_point lastReportTime_{};

  // Feature table and discovery.
  std::mutex featureTableMutex_;
  std::map<int, std::shared_ptr<IFeature>> featureTable_;
  int rootState_ = 0;  // 0 not tried, 1 not Velo 2.0, 2 Root loaded
  bool allFeaturesLoaded_ = false;
  std::string fwInfo_;
  int mainEntity_ = 0;
  bool fwCheckRunning_ = false;
  std::string persistentDirectory_;
};

}  // namespace devio
