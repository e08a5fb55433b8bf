#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/win32/SimulatedWin32System.h"

namespace sim {

// Presents the channels plugged into a SimulatedBus (the simulated keyboard's) as HID devices of
// a simulated host, the way the real keyboard appears: two collections of one device on usage
// page 0xFF00, short reports (7 bytes) on the first and long reports (20 bytes) on the second.
// What the host writes on either goes to the channel's device end; what the device answers comes
// back on the collection its report id belongs to. Follows the bus's plugs and unplugs directly,
// on the thread that makes them.
class SimulatedHidBridge final : public devio::Subscriber<devio::IHardwareBus::PlugUnplug> {
 public:
  SimulatedHidBridge(std::shared_ptr<SimulatedBus> bus, std::shared_ptr<SimulatedWin32System> host);
  ~SimulatedHidBridge() override;

  void onPlug(std::shared_ptr<devio::IHardwareDevice> channel) override;
  void onUnplug(std::shared_ptr<devio::IHardwareDevice> channel) override;

  // The host's id of the device a channel became (0 when none).
  int deviceOf(const std::shared_ptr<SimulatedChannel>& channel);

 private:
  // Carries a channel's answers to the collection of their report id.
  class Answers final : public devio::Subscriber<devio::IHardwareDevice::Read> {
   public:
    Answers(std::shared_ptr<SimulatedWin32System> host, int device) : host_(std::move(host)), device_(device) {}
    void onRead(devio::Bytes report, bool, unsigned, unsigned) override;

   private:
    const std::shared_ptr<SimulatedWin32System> host_;
    const int device_;
  };
  struct Presented {
    int device;
    std::unique_ptr<Answers> answers;
  };

  const std::shared_ptr<SimulatedBus> bus_;
  const std::shared_ptr<SimulatedWin32System> host_;
  std::mutex mutex_;  // guards presented_
  std::map<SimulatedChannel*, Presented> presented_;
};

}  // namespace sim
