#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/runtime/Clock.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/ITimer.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"

namespace devio {

// Owns the hardware buses, admits their channels, turns each admitted channel into a device
// object and announces it; keeps the run-loop queue, the configuration items and the receiver
// retry schedule. Starts nothing until the first ArrivalRemoval subscriber or devices().
//
// Threads: the manager's own subscriptions (bus PlugUnplug, the retry timer, its ActiveChanged)
// use run-loop delivery, so the device map, bus sets, configuration and retry state are touched
// only on the client's dispatch thread (and inside addBus/removeBus on their caller's thread);
// they have no lock. The run-loop queue has its own lock and may be used from any thread.
class DeviceManager final : public IDeviceManager,
                            public Producer<IDeviceManager::ArrivalRemoval>,
                            public Producer<IDeviceManager::ActiveChanged>,
                            public Producer<IDeviceManager::UnreportedError>,
                            public Producer<IDeviceManager::RunLoopEvent>,
                            public Subscriber<IHardwareBus::PlugUnplug>,
                            public Subscriber<IDeviceManager::ActiveChanged>,
                            public Subscriber<ITimer::TimerEvent>,
                            public std::enable_shared_from_this<DeviceManager> {
 public:
  // What a new manager builds on; an empty member means the production default.
  struct Hooks {
    // The top bus (default: the host's HID bus).
    std::function<std::shared_ptr<IHardwareBus>(std::shared_ptr<DeviceManager>)> topBus;
    // The receiver bus made for a known receiver channel while item 4 is on (default: a
    // CorvaneBus). The result must also be an IHardwareBus.
    std::function<std::shared_ptr<IDevice>(std::shared_ptr<DeviceManager>, std::shared_ptr<IHardwareDevice>,
                                           int slots, int protocolByte)>
        receiverBus;
    // The clock of the retry timer and of every device made (default: the steady clock).
    std::shared_ptr<Clock> clock;
  };

  static constexpr int addbusRetryTimerId = 1;

  static std::shared_ptr<DeviceManager> create(Hooks hooks = {});
  ~DeviceManager() override;

  // IDeviceManager
  std::vector<std::shared_ptr<IDevice>> devices() override;
  std::vector<std::shared_ptr<IDevice>> devices_on_bus(std::shared_ptr<IDevice> receiver) override;
  void swid(int id) override;
  int swid() override;
  bool is_active() override;
  void set_active(bool active) override;
  void report_unreported_error(const char* msg) override;
  void enqueue_event_for_runloop(std::function<void()> call, void* subscriber, void* producer,
                                 std::string name) override;
  void call_event_from_runloop() override;
  void remove_runloop_events(void* subscriber, void* producer) override;
  void persistent_data_directory(std::string dir) override;
  bool config_default(int item, bool* out) override;
  bool config_get(int item, bool* out) override;
  bool config_set(int item, bool value) override;
  bool connectToHardwareBusses() override;
  std::shared_ptr<IDevice> makeDevice(std::shared_ptr<IHardwareDevice> channel, int plain, int pid) override;

  bool addBus(std::shared_ptr<IHardwareBus> bus);
  void removeBus(std::shared_ptr<IHardwareBus> bus);

  bool lazyInitializeHardwareBusses();
  void dumpDevices();

  // Configuration item 6: one flag for the whole process, read by the Bluetooth LE (GATT) device.
  static bool gattPassive();

  // A run-loop subscription to RunLoopEvent would signal itself without end: refused with
  // InvalidValue. Direct subscriptions are accepted.
  bool add_subscriber(IDeviceManager::RunLoopEvent* subscriber, int delivery) override;

 protected:
  // The first ArrivalRemoval subscriber starts the buses; refused when they cannot start.
  bool on_subscribe(IDeviceManager::ArrivalRemoval* subscriber) override;
  // A new RunLoopEvent subscriber gets one signal per entry already queued.
  void on_subscription_added(IDeviceManager::RunLoopEvent* subscriber, bool direct) override;

 private:
  using DeviceMap = std::map<std::shared_ptr<IHardwareDevice>, std::shared_ptr<IDevice>>;

  explicit DeviceManager(Hooks hooks);
  // The deleter of every manager: never destroys one on a library worker thread.
  static void release(DeviceManager* manager);

  // PlugUnplug (dispatch thread, and directly from addBus/removeBus).
  void onPlug(std::shared_ptr<IHardwareDevice> channel) override;
  void onUnplug(std::shared_ptr<IHardwareDevice> channel) override;
  void onPowerChange(bool standBy) override;
  // ActiveChanged of this manager itself (dispatch thread).
  void onActiveChanged(bool active) override;
  // The receiver retry timer (dispatch thread).
  void onTimerEvent(int id) override;

  bool admits(IHardwareDevice& channel) const;
  // The device map's entry of an announced channel: the same object, or else the one with the
  // same path (a host bus announces a removal with a new object for the removed path).
  DeviceMap::iterator findChannel(const std::shared_ptr<IHardwareDevice>& channel);
  bool item(int index) const;
  void setItem(int index, bool value);
  void removeConnectedBuses();
  // Removes and connects the buses again; when that fails, the start is retried on the schedule.
  void reconnectBuses();
  bool makeRetryTimer();
  void scheduleReceiverRetry(const std::shared_ptr<IHardwareBus>& receiver);
  // Starts the retry schedule (2 s) unless it runs; a running one counts from 1 again.
  void scheduleRetry();
  void signalRunLoop();

  struct RunLoopEntry {
    std::function<void()> call;
    void* subscriber;
    void* producer;
    std::string name;
  };

  const Hooks hooks_;
  bool busesStarted_ = false;
  std::atomic<int> swid_{0};
  bool active_ = true;
  std::string persistentDirectory_;
  std::atomic<bool> destroying_{false};
  std::list<RunLoopEntry> runLoopQueue_;
  std::mutex queueLock_;  // guards runLoopQueue_ and signalsInFlight_
  int signalsInFlight_ = 0;
  DeviceMap deviceMap_;
  std::set<std::shared_ptr<IHardwareBus>> addedBuses_;
  std::set<std::shared_ptr<IHardwareBus>> connectedBuses_;
  bool items_[ConfigItemCount];  // item 6 is process-wide (gattPassive) and not kept here
  std::shared_ptr<ITimer> retryTimer_;
  int retryCount_ = 0;
  std::set<std::shared_ptr<IHardwareBus>> pendingReceivers_;
  // A reconnect failed after the buses had run: the retries start them again.
  bool restartPending_ = false;
};

}  // namespace devio
