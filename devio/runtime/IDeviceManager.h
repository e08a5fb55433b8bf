#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/ErrorCode.h"

namespace devio {

class IDevice;
class IHardwareDevice;

// The client's view of the device manager: device lists, software id, active state, the eight
// configuration items and the run-loop queue. The object behind it also produces the four events.
class IDeviceManager {
 public:
  class ArrivalRemoval {
   public:
    virtual void onDeviceArrival(std::shared_ptr<IDevice>) {}
    virtual void onDeviceRemoval(std::shared_ptr<IDevice>) {}
    virtual ~ArrivalRemoval() = default;
  };
  class ActiveChanged {
   public:
    virtual void onActiveChanged(bool /*active*/) {}
    virtual ~ActiveChanged() = default;
  };
  class UnreportedError {
   public:
    virtual void onUnreportedError(const char* /*msg*/, ErrorCode /*code*/, const char* /*message*/,
                                   unsigned long /*detail*/) {}
    virtual ~UnreportedError() = default;
  };
  class RunLoopEvent {
   public:
    virtual void onRunLoopEvent() {}
    virtual ~RunLoopEvent() = default;
  };

  // Configuration items.
  enum ConfigItem : int {
    bluetooth_active = 0,
    ble_active = 1,
    ble_monitor = 2,
    use_blepp = 3,
    receiver_active = 4,
    wired_active = 5,
    gatt_passive = 6,
    brb_workaround = 7,
  };
  static constexpr int ConfigItemCount = 8;

  virtual ~IDeviceManager() = default;
  virtual std::vector<std::shared_ptr<IDevice>> devices() = 0;
  virtual std::vector<std::shared_ptr<IDevice>> devices_on_bus(std::shared_ptr<IDevice> receiver) = 0;
  virtual void swid(int id) = 0;
  virtual int swid() = 0;
  virtual bool is_active() = 0;
  virtual void set_active(bool active) = 0;
  virtual void report_unreported_error(const char* msg) = 0;
  virtual void enqueue_event_for_runloop(std::function<void()> call, void* subscriber, void* producer,
                                         std::string name) = 0;
  virtual void call_event_from_runloop() = 0;
  virtual void remove_runloop_events(void* subscriber, void* producer) = 0;
  virtual void persistent_data_directory(std::string dir) = 0;
  virtual bool config_default(int item, bool* out) = 0;
  virtual bool config_get(int item, bool* out) = 0;
  virtual bool config_set(int item, bool value) = 0;
  virtual bool connectToHardwareBusses() = 0;
  // plain != 0: never a receiver bus.
  virtual std::shared_ptr<IDevice> makeDevice(std::shared_ptr<IHardwareDevice> channel, int plain, int pid) = 0;
};

}  // namespace devio
