#include "sim/win32/SimulatedHidBridge.h"

#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/Delivery.h"

namespace sim {

SimulatedHidBridge::SimulatedHidBridge(std::shared_ptr<SimulatedBus> bus, std::shared_ptr<SimulatedWin32System> host)
    : bus_(std::move(bus)), host_(std::move(host)) {
  subscribe(std::shared_ptr<devio::IHardwareBus>(bus_), devio::Direct);
}

SimulatedHidBridge::~SimulatedHidBridge() {
  unsubscribe(std::shared_ptr<devio::IHardwareBus>(bus_));
  std::map<SimulatedChannel*, Presented> presented;
  {
    std::lock_guard lock(mutex_);
    presented.swap(presented_);
  }
  for (auto& [channel, entry] : presented) host_->unplug(entry.device);
}

void SimulatedHidBridge::onPlug(std::shared_ptr<devio::IHardwareDevice> device) {
  auto channel = std::dynamic_pointer_cast<SimulatedChannel>(device);
  if (!channel) return;
  {
    std::lock_guard lock(mutex_);
    if (presented_.contains(channel.get())) return;
  }
  std::weak_ptr<SimulatedChannel> weak = channel;
  const int id = host_->plug(SimulatedHidDevice::zephel(channel->pid(), channel->name()),
                             [weak](std::size_t, const devio::Bytes& report) {
                               if (auto target = weak.lock()) target->write(report, false);
                             });
  auto answers = std::make_unique<Answers>(host_, id);
  answers->subscribe(device, devio::Direct);
  // The answers only go on to the host's pipe: no need to pass the channel's read thread.
  channel->readOnDeliveringThread(true);
  std::lock_guard lock(mutex_);
  presented_[channel.get()] = Presented{id, std::move(answers)};
}

void SimulatedHidBridge::onUnplug(std::shared_ptr<devio::IHardwareDevice> device) {
  Presented entry{0, nullptr};
  {
    std::lock_guard lock(mutex_);
    const auto it = presented_.find(dynamic_cast<SimulatedChannel*>(device.get()));
    if (it == presented_.end()) return;
    entry = std::move(it->second);
    presented_.erase(it);
  }
  entry.answers->unsubscribe(device);
  host_->unplug(entry.device);
}

int SimulatedHidBridge::deviceOf(const std::shared_ptr<SimulatedChannel>& channel) {
  std::lock_guard lock(mutex_);
  const auto it = presented_.find(channel.get());
  return it == presented_.end() ? 0 : it->second.device;
}

void SimulatedHidBridge::Answers::onRead(devio::Bytes report, bool, unsigned, unsigned) {
  if (report.empty()) return;  // the channel was pulled; the unplug follows
  const bool isShort = report[0] == devio::velo::ShortReportId;
  report.resize(isShort ? devio::velo::ShortReportLength : devio::velo::LongReportLength, 0);
  host_->send(device_, isShort ? 0 : 1, report);
}

}  // namespace sim
