#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devio/protocol/Device.h"
#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedVeloDevice.h"
#include "sim/VirtualTime.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"

namespace testsupport {

// What a device announced, in order: "connect:1" (configured_by_us), "disconnect", "firmware",
// "config"; the class of every report; every WriteReport. Events arrive on the run-loop, read and
// writing threads, so everything is guarded.
class DeviceEvents final : public devio::Subscriber<devio::IDevice::Connect>,
                           public devio::Subscriber<devio::IDevice::ConfigChange>,
                           public devio::Subscriber<devio::IDevice::Report>,
                           public devio::Subscriber<devio::IDevice::WriteReport> {
 public:
  struct Write {
    devio::Bytes report;
    devio::ErrorCode error;
    unsigned systemError;
  };

  explicit DeviceEvents(const std::shared_ptr<devio::Device>& device) {
    devio::Subscriber<devio::IDevice::Connect>::subscribe(device, devio::Direct);
    devio::Subscriber<devio::IDevice::ConfigChange>::subscribe(device, devio::Direct);
    devio::Subscriber<devio::IDevice::Report>::subscribe(device, devio::Direct);
    devio::Subscriber<devio::IDevice::WriteReport>::subscribe(device, devio::Direct);
  }

  void onConnect(std::shared_ptr<devio::IDevice>, bool configured_by_us) override {
    add("connect:" + std::to_string(configured_by_us ? 1 : 0));
  }
  void onDisconnect(std::shared_ptr<devio::IDevice>) override { add("disconnect"); }
  void onFirmwareChanged(std::shared_ptr<devio::IDevice>) override { add("firmware"); }
  void onConfigChange() override { add("config"); }
  void onReport(const devio::Bytes& report, unsigned, unsigned, devio::ReportType type) override {
    std::lock_guard lock(mutex_);
    reports_.emplace_back(report, type);
    changed_.notify_all();
  }
  void onWriteReport(const devio::Bytes& report, devio::ErrorCode error, unsigned system_error) override {
    std::lock_guard lock(mutex_);
    writes_.push_back({report, error, system_error});
  }

  std::vector<std::string> log() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    log_.clear();
    reports_.clear();
    writes_.clear();
  }
  // Waits (bounded by real time) until this report was classified; answers its class. The
  // Report event of an answer may come after the exchange ended, so tests look for their report.
  std::optional<devio::ReportType> waitForReport(const devio::Bytes& report) {
    std::unique_lock lock(mutex_);
    std::optional<devio::ReportType> type;
    changed_.wait_for(lock, std::chrono::seconds(30), [&] {
      const auto it = std::find_if(reports_.begin(), reports_.end(), [&](const auto& r) { return r.first == report; });
      if (it != reports_.end()) type = it->second;
      return type.has_value();
    });
    return type;
  }
  std::vector<Write> writes() {
    std::lock_guard lock(mutex_);
    return writes_;
  }
  // The failures the engine announced (empty reports), as error codes.
  std::vector<devio::ErrorCode> failures() {
    std::lock_guard lock(mutex_);
    std::vector<devio::ErrorCode> codes;
    for (const auto& w : writes_) {
      if (w.report.empty()) codes.push_back(w.error);
    }
    return codes;
  }

 private:
  void add(std::string entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(entry));
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> log_;
  std::vector<std::pair<devio::Bytes, devio::ReportType>> reports_;
  std::vector<Write> writes_;
};

// The result of one call made under virtual time, with the LastError of the calling thread.
struct Outcome {
  bool ok = false;
  devio::LastError error;
  devio::Bytes response;
};

// A Device on a SimulatedChannel whose peer is a SimulatedVeloDevice, with a manager behind the
// facade (for the run loop, the software id and the session state) and everything on one
// ManualClock driven by VirtualTime. Blocking calls go through run(), so no test waits real time.
class DeviceFixture : public FacadeFixture {
 public:
  // A feature the simulated device answers with programmable functions.
  static constexpr std::uint16_t TestFeatureId = 0x7A10;

 protected:
  void SetUp() override {
    FacadeFixture::SetUp();
    manager = std::dynamic_pointer_cast<devio::DeviceManager>(facade.getimpl());
    pump = std::make_unique<RunLoopPump>();
    // Far from the clock's zero, as a real clock is: "the last report" is long ago.
    clock->advance(std::chrono::hours(1));
  }

  void TearDown() override {
    if (device) device->uninitDevice();
    events.reset();
    device.reset();
    pump.reset();
    manager.reset();
    FacadeFixture::TearDown();
  }

  static sim::SimulatedVeloDevice::Config defaultConfig() {
    sim::SimulatedVeloDevice::Config config;
    config.features.push_back({TestFeatureId});
    return config;
  }

  // Builds the simulated device, its channel (plugged) and the device object, as the manager would.
  void makeDevice(sim::SimulatedVeloDevice::Config config = defaultConfig(), sim::SimulatedChannel::Config channelConfig = {}) {
    config.clock = clock;
    channel = sim::SimulatedChannel::create(channelConfig);
    peer = sim::SimulatedVeloDevice::create(channel, config);
    bus->plug(channel);
    vt.watch(peer);
    device = std::make_shared<devio::Device>(manager, channel, clock);
    device->initDevice(manager);
    events = std::make_unique<DeviceEvents>(device);
    // The answer of the programmable feature repeats the request's parameters.
    peer->setFunction(TestFeatureId, 1, [](const devio::Bytes& params) { return sim::SimulatedVeloDevice::Answer(params); });
  }

  // Fills the feature table (Root, the test feature), as the first feature access of a client does.
  // Discovery's cacheable answers arm the cache-write timer; letting it expire keeps the clock free
  // of waiters, so later virtual time is spent by the exchanges under test alone.
  void discover() {
    ASSERT_TRUE(vt.run([&] { return device->feature_by_id(TestFeatureId) != nullptr; }));
    clock->advanceMs(10000);  // the cache-write delay
  }

  template <class Call>
  auto run(Call&& call) {
    return vt.run(std::forward<Call>(call));
  }

  Outcome send(const devio::Bytes& request, bool cacheable = false, std::vector<int> match = {}) {
    return vt.run([&] {
      Outcome outcome;
      outcome.ok = device->sendSynchronousCommand(request, &outcome.response, cacheable, match);
      outcome.error = devio::LastError::get();
      return outcome;
    });
  }

  // A request to the test feature's function 1 with the device's current software id.
  devio::Bytes testRequest(const devio::Bytes& params = {0x01, 0x02, 0x03}) {
    return devio::velo::buildRequest(index(TestFeatureId), 1, device->swid(), params);
  }

  devio::Byte index(std::uint16_t featureId) { return peer->featureIndex(featureId); }

  // Runs every queued run-loop call (and the ones they queue) on this thread. Not under virtual
  // time: the handlers' exchanges are answered at once, and armed timers expire only when the test
  // moves the clock.
  void pumpRunLoop() { pump->drain(); }

  // Moves the clock; the timers that expire deliver their event through the run loop.
  void elapse(long long ms) {
    clock->advanceMs(ms);
    pump->waitForSignal(std::chrono::seconds(5));
    pumpRunLoop();
  }

  // Pumps the run loop until done() holds, waiting for calls that other threads queue; false
  // when none came for 5 s. For outcomes that follow a call queued late by another thread.
  bool pumpUntil(const std::function<bool()>& done) {
    while (!done()) {
      if (!pump->waitForSignal(std::chrono::seconds(5))) return false;
      pumpRunLoop();
    }
    return true;
  }

  long long virtualMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock->now().time_since_epoch()).count();
  }

  sim::VirtualTime vt{clock};
  std::shared_ptr<devio::DeviceManager> manager;
  std::unique_ptr<RunLoopPump> pump;
  std::shared_ptr<sim::SimulatedChannel> channel;
  std::shared_ptr<sim::SimulatedVeloDevice> peer;
  std::shared_ptr<devio::Device> device;
  std::unique_ptr<DeviceEvents> events;
};

}  // namespace testsupport
