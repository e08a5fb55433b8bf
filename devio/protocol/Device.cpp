#include "devio/protocol/Device.h"

#include "devio/protocol/LastError.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Device";

// The command engine and the feature table are not part of this device yet.
void notPresent() { LastError::set(NotPresent, 0, "not available on this device"); }

}  // namespace

Device::Device(std::weak_ptr<IDeviceManager> manager, std::shared_ptr<IHardwareDevice> hwdev)
    : manager_(std::move(manager)), hwdev_(std::move(hwdev)) {
  xLog(kTag, LogInfo, FN(Device), "Device::Device()");
}

Device::~Device() {
  xLog(kTag, LogInfo, FN(~Device), "Device::~Device() enter");
  xLog(kTag, LogInfo, FN(~Device), "Device::~Device() exit");
}

bool Device::initDevice(std::shared_ptr<IDeviceManager> manager) {
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice() enter");
  manager_ = manager;
  if (manager) active_ = manager->is_active();
  xLog(kTag, LogInfo, FN(initDevice), "Device::initDevice() exit");
  return true;
}

bool Device::uninitDevice() {
  xLog(kTag, LogInfo, FN(uninitDevice), "Device::uninitDevice() enter");
  removed_ = true;
  xLog(kTag, LogInfo, FN(uninitDevice), "Device::uninitDevice() exit");
  return true;
}

bool Device::shutdown() {
  shutdown_ = true;
  xLog(kTag, LogInfo, FN(shutdown), "Device::shutdown");
  return true;
}

bool Device::connected() { return hwdev_->connected(); }
bool Device::removed() { return removed_; }
int Device::type() { return hwdev_->bus_type(); }
int Device::transport() { return hwdev_->bus_type(); }
int Device::link_index() { return hwdev_->link_index(); }
std::shared_ptr<IHardwareBus> Device::bus() { return hwdev_->bus().lock(); }
std::string Device::path() { return hwdev_->path(); }
int Device::pid() { return hwdev_->pid(); }
std::string Device::name() { return hwdev_->name(); }
int Device::receiver_activity() { return hwdev_->receiver_activity(); }
int Device::receiver_status() { return hwdev_->receiver_status(); }
std::weak_ptr<IDeviceManager> Device::device_manager() { return manager_; }
bool Device::configured() { return false; }
bool Device::has_pending() { return false; }

void Device::persistent_data_directory(std::string dir) {
  xLog(kTag, LogInfo, FN(persistent_data_directory), "Device::persistent_data_directory(%s)", dir.c_str());
  if (!dir.empty()) persistentDirectory_ = std::move(dir);
}

std::string Device::persistent_data_directory() const { return persistentDirectory_; }

int Device::swid() {
  notPresent();
  return 0;
}

bool Device::set_configured(std::shared_ptr<IFeature>) {
  notPresent();
  return false;
}

bool Device::add_pending(std::shared_ptr<IFeature>) {
  notPresent();
  return false;
}

void Device::forget() { notPresent(); }

std::shared_ptr<IFeature> Device::feature_by_id(unsigned) {
  notPresent();
  return nullptr;
}

std::vector<std::shared_ptr<IFeature>> Device::features() {
  notPresent();
  return {};
}

bool Device::sendCommand(const Bytes&, bool) {
  notPresent();
  return false;
}

bool Device::sendSynchronousCommand(const Bytes&, Bytes*, bool, const std::vector<int>&) {
  notPresent();
  return false;
}

void Device::abandon() { notPresent(); }

bool Device::retry_load_feature_root() {
  notPresent();
  return false;
}

void Device::confirm_configuration() { notPresent(); }

}  // namespace devio
