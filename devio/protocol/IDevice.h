#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/Byte.h"
#include "devio/protocol/ErrorCode.h"
#include "devio/protocol/ReportType.h"

namespace devio {

class IDeviceManager;
class IFeature;
class IHardwareBus;

// One device as the library hands it to clients: its identity, its features, the command
// engine and the configuration ownership lifecycle.
class IDevice {
 public:
  using ReportType = devio::ReportType;

  class Report {
   public:
    virtual void onReport(const Bytes& /*report*/, unsigned /*system_error*/, unsigned /*length*/,
                          ReportType /*type*/) {}
    virtual ~Report() = default;
  };
  class WriteReport {
   public:
    virtual void onWriteReport(const Bytes& /*report*/, ErrorCode /*error*/, unsigned /*system_error*/) {}
    virtual ~WriteReport() = default;
  };
  class Connect {
   public:
    virtual void onConnect(std::shared_ptr<IDevice>, bool /*configured_by_us*/) {}
    virtual void onDisconnect(std::shared_ptr<IDevice>) {}
    virtual void onFirmwareChanged(std::shared_ptr<IDevice>) {}
    virtual ~Connect() = default;
  };
  class ConfigChange {
   public:
    virtual void onConfigChange() {}
    virtual ~ConfigChange() = default;
  };

  virtual bool initDevice(std::shared_ptr<IDeviceManager> manager) = 0;
  virtual bool uninitDevice() = 0;
  virtual ~IDevice() = default;
  virtual bool connected() = 0;
  virtual bool removed() = 0;
  virtual int type() = 0;
  virtual int transport() = 0;
  virtual int link_index() = 0;
  virtual std::shared_ptr<IHardwareBus> bus() = 0;
  virtual std::string path() = 0;
  virtual int pid() = 0;
  virtual std::string name() = 0;
  virtual int swid() = 0;
  virtual int receiver_activity() = 0;
  virtual bool set_configured(std::shared_ptr<IFeature> feature) = 0;
  virtual bool configured() = 0;
  virtual bool add_pending(std::shared_ptr<IFeature> feature) = 0;
  virtual bool has_pending() = 0;
  virtual bool shutdown() = 0;
  virtual void forget() = 0;
  virtual std::weak_ptr<IDeviceManager> device_manager() = 0;
  virtual std::shared_ptr<IFeature> feature_by_id(unsigned id) = 0;
  virtual std::vector<std::shared_ptr<IFeature>> features() = 0;
  virtual bool sendCommand(const Bytes& cmd, bool check) = 0;
  virtual bool sendSynchronousCommand(const Bytes& cmd, Bytes* rsp, bool cacheable, const std::vector<int>& match) = 0;
  virtual void abandon() = 0;
  virtual bool retry_load_feature_root() = 0;
  virtual int receiver_status() = 0;
  virtual void confirm_configuration() = 0;
};

}  // namespace devio
