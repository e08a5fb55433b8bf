#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "devio/protocol/CommandCacheFile.h"
#include "devio/protocol/Device.h"
#include "devio/protocol/IDevice.h"
#include "devio/protocol/IFeature.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/Subscriber.h"
#include "sim/ManualClock.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"
#include "sim/VirtualTime.h"
#include "tests/support/TemporaryDirectory.h"

namespace testsupport {

// A simulated Velo 2.0 device on a plugged channel, and protocol devices made for that channel
// by a fresh manager whose persistent data directory is a temporary one, as after admission.
// Every call that talks to the device runs under virtual time.
class DiscoveryFixture : public ::testing::Test {
 protected:
  struct Lookup {
    std::shared_ptr<devio::IFeature> feature;
    devio::ErrorCode error;
  };

  // Counts firmware changes announced by a device (on the thread that detected the change).
  struct FirmwareWatcher : devio::Subscriber<devio::IDevice::Connect> {
    void onFirmwareChanged(std::shared_ptr<devio::IDevice>) override { ++changes; }
    std::atomic<int> changes{0};
  };

  void SetUp() override {
    facade.reset();
    devio::DeviceManager::Hooks hooks;
    hooks.clock = clock;
    facade.install_hooks(hooks);
  }

  void TearDown() override {
    facade.reset();
    facade.install_hooks({});
  }

  // The hardware: a channel with this identity and the simulated device behind it.
  void plug(sim::SimulatedVeloDevice::Config config = {}, std::uint16_t pid = 0x6E21,
            std::string path = "sim://device") {
    sim::SimulatedChannel::Config channelConfig;
    channelConfig.pid = pid;
    channelConfig.path = std::move(path);
    channel = sim::SimulatedChannel::create(channelConfig);
    bus->plug(channel);
    config.clock = clock;
    velo = sim::SimulatedVeloDevice::create(channel, config);
    virtualTime.watch(velo);
  }

  // A new device object for the channel (reading the cache file), as after a restart.
  std::shared_ptr<devio::Device> makeDevice(bool withDirectory = true) {
    facade.persistent_data_directory(withDirectory ? directory.withSeparator() : "");
    return std::dynamic_pointer_cast<devio::Device>(facade.makeDevice(channel, 0, channel->pid()));
  }

  std::string cacheFile() const {
    return directory.withSeparator() + devio::CommandCacheFile::fileName(channel->pid(), channel->path());
  }

  template <class Call>
  auto run(Call&& call) {
    return virtualTime.run(std::forward<Call>(call));
  }

  // feature_by_id under virtual time, with the LastError of the thread that asked.
  Lookup featureById(const std::shared_ptr<devio::Device>& device, unsigned id) {
    return run([&] {
      devio::LastError::set(devio::Success);
      auto feature = device->feature_by_id(id);
      return Lookup{feature, devio::LastError::get().code};
    });
  }

  devio::CDevio& facade = devio::theDevio();
  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  sim::VirtualTime virtualTime{clock};
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedChannel> channel;
  std::shared_ptr<sim::SimulatedVeloDevice> velo;
  TemporaryDirectory directory;
};

}  // namespace testsupport
