#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "devio/runtime/CDevio.h"
#include "sim/ManualClock.h"
#include "sim/SimulatedBus.h"

namespace testsupport {

// Producers queue into the facade's manager, so manager tests go through the facade: each test
// starts from a fresh manager whose top bus is `bus` and whose retry timer runs on `clock`, and
// leaves no manager behind.
class FacadeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    facade.reset();
    facade.install_hooks(hooks());
  }

  void TearDown() override {
    facade.reset();
    facade.install_hooks({});
  }

  // The hooks of the next manager; tests extend them and install them again.
  virtual devio::DeviceManager::Hooks hooks() {
    devio::DeviceManager::Hooks hooks;
    hooks.topBus = [this](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<devio::IHardwareBus> {
      ++topBusRequests;
      return bus;
    };
    hooks.clock = clock;
    return hooks;
  }

  devio::CDevio& facade = devio::theDevio();
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  int topBusRequests = 0;
};

}  // namespace testsupport
