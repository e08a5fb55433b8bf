#include "devio/receivers/CorvaneDevice.h"

#include "devio/protocol/LastError.h"
#include "devio/protocol/Velo10Command.h"
#include "devio/receivers/CorvaneBus.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::CorvaneDevice::" #name

namespace devio {

namespace {
constexpr const char* kTag = "CorvaneDevice";
std::atomic<int> gInstances{0};
}  // namespace

CorvaneDevice::CorvaneDevice(std::weak_ptr<CorvaneBus> receiver, int slot, std::uint16_t qid, bool connected)
    : receiver_(std::move(receiver)),
      slot_(slot),
      qid_(qid),
      path_([&] {
        const auto bus = receiver_.lock();
        return (bus ? bus->path() : std::string()) + ":" + std::to_string(slot);
      }()),
      connected_(connected) {
  xLog(kTag, LogDebug, FN(CorvaneDevice), "CorvaneDevice::CorvaneDevice(qid = %04x). Number of instances now: %d", qid_,
       ++gInstances);
}

CorvaneDevice::~CorvaneDevice() {
  xLog(kTag, LogDebug, FN(~CorvaneDevice), "CorvaneDevice::~CorvaneDevice(qid = %04x). Number of instances now: %d",
       qid_, --gInstances);
}

std::shared_ptr<CorvaneBus> CorvaneDevice::lockReceiver() {
  auto receiver = receiver_.lock();
  if (!receiver) LastError::set(DeviceRemoved, 0, "could not lock bus");
  return receiver;
}

std::weak_ptr<IHardwareBus> CorvaneDevice::bus() {
  if (auto receiver = receiver_.lock()) return std::static_pointer_cast<corvane::BusFace>(receiver);
  return {};
}

bool CorvaneDevice::write(Bytes report, bool synchronous) {
  if (report.size() > 1) report[1] = static_cast<Byte>(slot_ + 1);
  const auto receiver = receiver_.lock();
  if (!receiver) {
    xLog(kTag, LogWarning, FN(write), "CorvaneDevice::write() device removed!");
    LastError::set(DeviceRemoved);
    return false;
  }
  if (!connected_) {
    xLog(kTag, LogWarning, FN(write), "CorvaneDevice::write() not connected!");
    LastError::set(NotConnected);
    return false;
  }
  disconnectedSinceWrite_ = false;
  if (!receiver->sendCommand(report, synchronous)) {
    xLog(kTag, LogError, FN(write), "CorvaneDevice::write() sbus->sendCommand failed!");
    return false;
  }
  return true;
}

std::string CorvaneDevice::name() {
  std::lock_guard lock(nameMutex_);
  if (nameCached_) return cachedName_;
  const auto receiver = lockReceiver();
  if (!receiver) return {};
  std::string name;
  if (Velo10Command::read_receiver_paired_device_name(receiver.get(), slot_, &name) && !name.empty()) {
    cachedName_ = name;
    nameCached_ = true;
  }
  return name;
}

int CorvaneDevice::receiver_status() {
  const auto receiver = receiver_.lock();
  return receiver ? receiver->receiver_status() : 0;
}

bool CorvaneDevice::verify_connection_following_timeout() {
  if (disconnectedSinceWrite_) {
    xLog(kTag, LogInfo, FN(verify_connection_following_timeout),
         "CorvaneDevice::verify_connection_following_timeout() exit, returning false (disconnected since last write)");
    return false;
  }
  return true;
}

void CorvaneDevice::processConnect() {
  connected_ = true;
  const auto self = weak_from_this().lock();
  if (!self) {
    xLog(kTag, LogDebug, FN(processConnect), "   -- not producing IHardwareDevice::Connect::onConnect(), no from_this");
    return;
  }
  xLog(kTag, LogInfo, FN(processConnect), "-connect- qid %04x producing IHardwareDevice::onConnect()", qid_);
  Producer<Connect>::produce([self](Connect* s) { s->onConnect(self); }, "CorvaneDevice::Connect::onConnect");
}

void CorvaneDevice::processDisconnect() {
  connected_ = false;
  disconnectedSinceWrite_ = true;
  const auto self = weak_from_this().lock();
  if (!self) {
    xLog(kTag, LogDebug, FN(processDisconnect), "   -- not producing IHardwareDevice::Connect::onConnect(), no from_this");
    return;
  }
  xLog(kTag, LogInfo, FN(processDisconnect), "   -- producing IHardwareDevice::Connect::onDisconnect()");
  Producer<Connect>::produce([self](Connect* s) { s->onDisconnect(self); }, "CorvaneDevice::Connect::onDisconnect");
}

void CorvaneDevice::handRead(Bytes report) {
  const auto length = static_cast<unsigned>(report.size());
  Producer<Read>::produce([report = std::move(report), length](Read* s) { s->onRead(report, true, 0, length); },
                          "CorvaneDevice::Read::onRead");
}

void CorvaneDevice::handWrite(Bytes report, ErrorCode error, unsigned system_error) {
  Producer<Write>::produce(
      [report = std::move(report), error, system_error](Write* s) { s->onWrite(report, error, system_error); },
      "CorvaneDevice::Write::onWrite");
}

bool CorvaneDevice::on_subscribe(IHardwareDevice::Write*) {
  const auto receiver = lockReceiver();
  return receiver && receiver->route_writes();
}

}  // namespace devio
