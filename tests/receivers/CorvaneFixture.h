#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/protocol/VeloMessage.h"
#include "devio/receivers/CorvaneBus.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedReceiver.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"

namespace testsupport {

// Arrivals and removals as "+pid" / "-pid", through the run loop as the application gets them.
class ArrivalLog final : public devio::Subscriber<devio::IDeviceManager::ArrivalRemoval> {
 public:
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override { record('+', device->pid()); }
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override { record('-', device->pid()); }
  std::vector<std::string> log;

 private:
  void record(char what, int pid) {
    char text[8];
    std::snprintf(text, sizeof text, "%c%04x", what, pid);
    log.emplace_back(text);
  }
};

// A manager with receivers on (item 4) over the simulated bus, a simulated receiver 0x7331 with
// two paired devices (a mouse 0x4082 in slot 0, a keyboard 0x4075 in slot 1) and the run loop
// pumped on the test's thread.
class CorvaneFixture : public FacadeFixture {
 protected:
  void SetUp() override {
    FacadeFixture::SetUp();
    ASSERT_TRUE(facade.config_set(devio::IDeviceManager::receiver_active, true));
    pump = std::make_unique<RunLoopPump>();
    ASSERT_TRUE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
    receiver->pair(0x4082, "Zephel Mouse");
    receiver->pair(0x4075, "Zephel Keys");
  }

  void TearDown() override {
    arrivals.unsubscribe_all();
    pump.reset();
    FacadeFixture::TearDown();
  }

  // Plugs the receiver in; answers its bus once the manager has added it.
  std::shared_ptr<devio::CorvaneBus> plugReceiver() {
    bus->plug(receiver->channel());
    settle();
    for (const auto& device : facade.devices()) {
      if (auto corvane = std::dynamic_pointer_cast<devio::CorvaneBus>(device)) return corvane;
    }
    ADD_FAILURE() << "no receiver bus";
    return nullptr;
  }

  // Runs the run loop until the receiver's channel has handed every report on and nothing is
  // queued (notifications arrive on the channel's read thread, their events through the run loop).
  void settle() {
    const auto channel = receiver->channel();
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < bound) {
      if (!channel->idle()) {
        // Leaves the cores to the threads it waits for.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else if (pump->drain() == 0 && channel->idle()) {
        return;
      }
    }
    ADD_FAILURE() << "the receiver's reports and events did not settle";
  }

  std::vector<std::string> drainedLog() {
    settle();
    return arrivals.log;
  }

  // The manager's device for a receiver's pairing slot.
  std::shared_ptr<devio::IDevice> deviceInSlot(const std::shared_ptr<devio::CorvaneBus>& corvane, int slot) {
    for (const auto& device : facade.devices_on_bus(corvane)) {
      if (device->link_index() == slot + 1) return device;
    }
    return nullptr;
  }

  // Root GetFeature(0x0001) of the device: the index of FeatureSet, or -1 with LastError.
  static int featureSetIndex(devio::IDevice& device) {
    devio::Bytes answer;
    const auto request = devio::velo::buildRequest(devio::velo::RootFeatureIndex, 0, device.swid(), {0x00, 0x01});
    if (!device.sendSynchronousCommand(request, &answer, false, {})) return -1;
    return answer.size() > 4 ? answer[4] : -1;
  }

  std::shared_ptr<sim::SimulatedReceiver> receiver = sim::SimulatedReceiver::create();
  std::unique_ptr<RunLoopPump> pump;
  ArrivalLog arrivals;
};

}  // namespace testsupport
