#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/IDeviceManager.h"

namespace devio {

// The library facade: the one process-wide object through which clients reach the device
// manager. It creates the manager on first use, forwards every IDeviceManager operation, and
// tears the manager down on reset() or for good on shutdown(). Any thread may call any
// operation; the facade's lock guards only the manager pointer and is never held while a
// forwarded call runs.
class CDevio final : public IDeviceManager {
 public:
  CDevio(const CDevio&) = delete;
  CDevio& operator=(const CDevio&) = delete;
  ~CDevio() override;

  // Operations that need a manager create it; the run-loop operations, error reporting and
  // manual_unsubscribe use the existing one only.
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

  // ArrivalRemoval handlers that are not Subscriber objects.
  virtual bool manual_subscribe(IDeviceManager::ArrivalRemoval* subscriber, int delivery);
  virtual void manual_unsubscribe(IDeviceManager::ArrivalRemoval* subscriber);

  // The manager, created on demand; empty (LastError Unavailable) after shutdown().
  std::shared_ptr<IDeviceManager> getimpl();
  operator std::shared_ptr<IDeviceManager>();
  // Discards the queued run-loop calls and drops the manager; the next use creates a new one.
  void reset();
  // Like reset(), and no manager is ever created again.
  void shutdown();

  // What every manager created from now on builds on (top bus, receiver bus, clock).
  void install_hooks(DeviceManager::Hooks hooks);

 private:
  CDevio();
  friend CDevio& theDevio();

  std::shared_ptr<IDeviceManager> existing();

  std::shared_ptr<IDeviceManager> impl_;
  std::mutex lock_;  // guards impl_, shuttingDown_ and hooks_
  bool shuttingDown_ = false;
  DeviceManager::Hooks hooks_;
};

// The process-wide facade.
CDevio& theDevio();

}  // namespace devio
