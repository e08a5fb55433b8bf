#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"

namespace devio {

// The protocol device the manager makes for one admitted hardware channel. Identity queries are
// answered by the channel; the command engine, feature table and configuration ownership are
// not here yet, so their operations fail with NotPresent.
class Device : public IDevice,
               public Producer<IDevice::Report>,
               public Producer<IDevice::WriteReport>,
               public Producer<IDevice::Connect>,
               public Producer<IDevice::ConfigChange>,
               public std::enable_shared_from_this<Device> {
 public:
  Device(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> hwdev);
  ~Device() override;

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

  // Where the device keeps its cached data ("" until the manager hands it a directory).
  void persistent_data_directory(std::string dir);
  std::string persistent_data_directory() const;

 private:
  std::weak_ptr<IDeviceManager> manager_;
  const std::shared_ptr<IHardwareDevice> hwdev_;
  bool removed_ = false;
  bool shutdown_ = false;
  std::atomic<bool> active_{true};
  std::string persistentDirectory_;
};

}  // namespace devio
