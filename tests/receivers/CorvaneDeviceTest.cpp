#include "devio/receivers/CorvaneDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "devio/protocol/LastError.h"
#include "sim/VirtualTime.h"
#include "tests/receivers/CorvaneFixture.h"

namespace {

using devio::Bytes;
using devio::LastError;
using sim::VeloFault;

class Writes final : public devio::Subscriber<devio::IHardwareDevice::Write> {
 public:
  void onWrite(Bytes report, devio::ErrorCode error, unsigned) override {
    std::lock_guard lock(mutex_);
    seen.push_back({report, error});
  }
  std::vector<std::pair<Bytes, devio::ErrorCode>> taken() {
    std::lock_guard lock(mutex_);
    return seen;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<Bytes, devio::ErrorCode>> seen;
};

class CorvaneDeviceTest : public testsupport::CorvaneFixture {
 protected:
  void SetUp() override {
    CorvaneFixture::SetUp();
    corvane = plugReceiver();
    ASSERT_TRUE(corvane);
  }

  std::shared_ptr<devio::CorvaneBus> corvane;
};

TEST_F(CorvaneDeviceTest, AFeatureRequestTravelsThroughTheReceiversChannel) {
  const auto keys = deviceInSlot(corvane, 1);
  ASSERT_TRUE(keys);
  EXPECT_EQ(featureSetIndex(*keys), 1);
  // The paired device saw the request as its own (index 0xFF); the other one saw nothing.
  const auto requests = receiver->device(1)->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0][1], 0xFF);
  EXPECT_EQ(receiver->device(0)->requestCount(), 0u);
}

TEST_F(CorvaneDeviceTest, AWriteCarriesTheSlotsIndexWhateverByteOneHeld) {
  receiver->pair(0x4090, "Zephel Pad");
  settle();
  const auto pad = corvane->child(2);
  ASSERT_TRUE(pad);
  Writes writes;
  ASSERT_TRUE(writes.subscribe(pad, devio::Direct));
  ASSERT_TRUE(pad->write({0x10, 0x00, 0x00, 0x10, 0x00, 0x01, 0x00}, false));
  const auto seen = writes.taken();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first[1], 3);
  EXPECT_EQ(seen[0].second, devio::Success);
  // Another child's completion stays with that child.
  ASSERT_TRUE(corvane->child(0)->write({0x10, 0xFF, 0x00, 0x10, 0x00, 0x01, 0x00}, false));
  EXPECT_EQ(writes.taken().size(), 1u);
  writes.unsubscribe_all();
}

TEST_F(CorvaneDeviceTest, AWriteToADeviceSwitchedOffNeverReachesTheReceiver) {
  receiver->switchOff(0);
  settle();
  const auto before = receiver->requestCount();
  EXPECT_FALSE(corvane->child(0)->write({0x10, 0xFF, 0x00, 0x10}, false));
  EXPECT_EQ(LastError::get().code, devio::NotConnected);
  EXPECT_EQ(receiver->requestCount(), before);
}

TEST_F(CorvaneDeviceTest, ADisconnectionSinceTheLastWriteFailsTheTimeoutCheck) {
  const auto mouse = corvane->child(0);
  EXPECT_TRUE(mouse->verify_connection_following_timeout());
  receiver->switchOff(0);
  settle();
  EXPECT_FALSE(mouse->verify_connection_following_timeout());
  receiver->switchOn(0);
  settle();
  EXPECT_FALSE(mouse->verify_connection_following_timeout());
  ASSERT_TRUE(mouse->write({0x10, 0xFF, 0x00, 0x10}, false));
  EXPECT_TRUE(mouse->verify_connection_following_timeout());
}

TEST_F(CorvaneDeviceTest, AReportFromADeviceMarkedDisconnectedConnectsIt) {
  receiver->switchOff(0);
  settle();
  ASSERT_FALSE(corvane->child(0)->connected());
  // The device is alive after all: one of its events comes through.
  ASSERT_TRUE(receiver->device(0)->notify(0x0001, 0, {0x01}));
  settle();
  EXPECT_TRUE(corvane->child(0)->connected());
}

TEST_F(CorvaneDeviceTest, AnEmptyNameIsAskedForAgain) {
  receiver->replace(1, 0x4076, "");
  settle();
  const auto nameRequests = [this] {
    const auto requests = receiver->registerRequests();
    return std::count_if(requests.begin(), requests.end(), [](const Bytes& r) { return r[3] == 0xB5; });
  };
  EXPECT_EQ(corvane->child(1)->name(), "");
  EXPECT_EQ(corvane->child(1)->name(), "");
  EXPECT_EQ(nameRequests(), 2);
  EXPECT_EQ(corvane->child(0)->name(), "Zephel Mouse");
  EXPECT_EQ(corvane->child(0)->name(), "Zephel Mouse");
  EXPECT_EQ(nameRequests(), 3);
}

TEST_F(CorvaneDeviceTest, DevicesBehindOneReceiverTakeTurnsOnTheSharedMutex) {
  const auto mouse = deviceInSlot(corvane, 0);
  const auto keys = deviceInSlot(corvane, 1);
  receiver->device(0)->inject(VeloFault::held());
  int mouseIndex = 0;
  int keysIndex = 0;
  std::thread first([&] { mouseIndex = featureSetIndex(*mouse); });
  ASSERT_TRUE(clock->waitForWaiters(1, std::chrono::seconds(10)));
  std::thread second([&] { keysIndex = featureSetIndex(*keys); });
  // While the mouse's exchange waits, the keyboard's request must not go out.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (std::chrono::steady_clock::now() < until && receiver->device(1)->requestCount() == 0) std::this_thread::yield();
  EXPECT_EQ(receiver->device(1)->requestCount(), 0u);
  EXPECT_EQ(receiver->device(0)->releaseHeld(), 1u);
  first.join();
  second.join();
  EXPECT_EQ(mouseIndex, 1);
  EXPECT_EQ(keysIndex, 1);
  EXPECT_EQ(receiver->device(1)->requestCount(), 1u);
}

TEST_F(CorvaneDeviceTest, ADeviceSwitchedOffDuringARequestFailsItUntilSwitchedOn) {
  const auto mouse = deviceInSlot(corvane, 0);
  const auto device = receiver->device(0);
  device->inject(VeloFault::noAnswer());
  clock->at(clock->now() + std::chrono::milliseconds(1000), [this] { receiver->switchOff(0); });
  sim::VirtualTime time(clock);
  time.watch(receiver->channel());
  time.watch(device);
  time.watch([r = receiver] { return r->idle(); }, [r = receiver] { return r->requestCount(); });
  // LastError belongs to the thread that ran the request.
  const auto failure = time.run([&] {
    const int index = featureSetIndex(*mouse);
    return std::pair(index, LastError::get().code);
  });
  EXPECT_EQ(failure, std::pair(-1, devio::NotConnected));
  EXPECT_FALSE(corvane->child(0)->verify_connection_following_timeout());

  receiver->switchOn(0);
  settle();
  EXPECT_EQ(time.run([&] { return featureSetIndex(*mouse); }), 1);
}

}  // namespace
