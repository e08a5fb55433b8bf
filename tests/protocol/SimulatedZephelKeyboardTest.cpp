#include "sim/SimulatedZephelKeyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "app/CFirmwareImages.h"
#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/features/IFeature00d0DFU.h"
#include "devio/features/IFeature1300LEDControl.h"
#include "devio/features/IFeature8100OnboardProfiles.h"
#include "devio/protocol/IDevice.h"
#include "devio/protocol/IFeature.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/Subscriber.h"
#include "devio/protocol/LastError.h"
#include "sim/VirtualTime.h"
#include "tests/protocol/SimulatedHost.h"
#include "tests/runtime/FacadeFixture.h"
#include "tests/support/RunLoopPump.h"

namespace {

using devio::Byte;
using devio::Bytes;
using sim::DfuStatus;
using std::chrono::milliseconds;
using Keyboard = sim::SimulatedZephelKeyboard;
using Mode = Keyboard::Mode;
using Variant = Keyboard::Variant;

constexpr auto Bound = std::chrono::seconds(30);
constexpr int Ok = int(DfuStatus::Ready);
constexpr int Done = int(DfuStatus::Accepted);
constexpr int Busy = int(DfuStatus::Busy);
constexpr int Sequence = int(DfuStatus::BadSequence);
constexpr int Refused = int(DfuStatus::Refused);

std::vector<Bytes> blocksOf(const Bytes& image) {
  std::vector<Bytes> blocks;
  for (std::size_t at = 0; at < image.size(); at += 16) blocks.emplace_back(image.begin() + at, image.begin() + at + 16);
  return blocks;
}

std::vector<Bytes> embeddedImage(Variant variant) {
  const auto image = CFirmwareImages::forVariant(variant == Variant::Second);
  return blocksOf(Bytes(image.begin(), image.end()));
}

// A nine-block image in the keyboard's layout: start block, section header, four program blocks
// that carry the image name and a version text, the two trailers, the end block.
std::vector<Bytes> smallImage(const std::string& name = "Q371_D0", const std::string& version = "371.3.42") {
  Bytes program(64, 0xFF);
  const std::string text = name + '\0' + version + '\0';
  std::copy(text.begin(), text.end(), program.begin() + 16);
  const std::uint16_t crc = sim::SimulatedDfuReceiver::crc16(program);
  Bytes image{0x00, 0x01};
  image.insert(image.end(), name.begin(), name.end());
  image.resize(16, 0);
  const Bytes header{0x01, 0x08, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 64};
  image.insert(image.end(), header.begin(), header.end());
  image.resize(32, 0);
  image.insert(image.end(), program.begin(), program.end());
  Bytes trailers(48, 0);
  trailers[0] = 0x02;
  trailers[8] = 0x02;
  trailers[16] = Byte(crc >> 8);
  trailers[17] = Byte(crc);
  trailers[32] = 0x03;
  image.insert(image.end(), trailers.begin(), trailers.end());
  return blocksOf(image);
}

std::vector<unsigned> allBlocks(std::size_t count) {
  std::vector<unsigned> order(count);
  std::iota(order.begin(), order.end(), 0u);
  return order;
}

// Every DFU status the feature reports, from acknowledgements (on the sending thread) and from
// notifications (on the read thread).
class DfuEvents final : public devio::Subscriber<devio::IFeature00d0DFU::Report> {
 public:
  void onDfuStatus(unsigned packet, Bytes payload) override {
    std::lock_guard lock(mutex_);
    events_.emplace_back(packet, payload.size() > 4 ? int(payload[4]) : -1);
    changed_.notify_all();
  }
  // Waits (bounded by real time) until n statuses were reported for packet; answers how many were.
  int waitForCount(unsigned packet, int n) {
    std::unique_lock lock(mutex_);
    const auto count = [&] {
      return int(std::count_if(events_.begin(), events_.end(), [&](const auto& e) { return e.first == packet; }));
    };
    changed_.wait_for(lock, Bound, [&] { return count() >= n; });
    return count();
  }
  // The status last reported for packet, -1 when none was.
  int statusOf(unsigned packet) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(events_.rbegin(), events_.rend(), [&](const auto& e) { return e.first == packet; });
    return it == events_.rend() ? -1 : it->second;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<unsigned, int>> events_;
};

// Arrivals and removals as the application gets them: through the run loop, on the test's thread.
class Arrivals final : public devio::Subscriber<devio::IDeviceManager::ArrivalRemoval> {
 public:
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override { arrived.push_back(std::move(device)); }
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override { removed.push_back(device->pid()); }
  std::vector<std::shared_ptr<devio::IDevice>> arrived;
  std::vector<int> removed;
};

// The keyboard on the bus of a device manager; the test reaches it through the devices and
// features the manager makes, as the update tool does.
class SimulatedZephelKeyboardTest : public testsupport::FacadeFixture {
 protected:
  void SetUp() override {
    FacadeFixture::SetUp();
    ASSERT_TRUE(facade.config_set(devio::IDeviceManager::wired_active, true));
    pump = std::make_unique<testsupport::RunLoopPump>();
    ASSERT_TRUE(arrivals.subscribe(facade.getimpl(), devio::RunLoop));
    vt.watch([this] { return !keyboard || keyboard->idle(); },
             [this] { return keyboard ? keyboard->requestCount() : 0; });
  }

  void TearDown() override {
    dfu.reset();
    updateDevice.reset();
    keyboard.reset();
    pump->drain();
    arrivals.arrived.clear();
    pump.reset();
    FacadeFixture::TearDown();
  }

  // The keyboard's time is the manager's: both move under vt.
  void make(Keyboard::Config config = {}) {
    keyboard.reset();
    config.clock = clock;
    keyboard = Keyboard::create(bus, std::move(config));
  }

  // Runs the run loop until the manager announces a device with this pid; null after the bound.
  std::shared_ptr<devio::IDevice> arrival(std::uint16_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + Bound;
    for (;;) {
      pump->drain();
      const auto found = std::find_if(arrivals.arrived.begin(), arrivals.arrived.end(),
                                      [&](const auto& device) { return device->pid() == pid; });
      if (found != arrivals.arrived.end()) {
        auto device = *found;
        arrivals.arrived.erase(found);
        return device;
      }
      if (std::chrono::steady_clock::now() > deadline) return nullptr;
      pump->waitForSignal(std::chrono::milliseconds(100));
    }
  }

  template <class I>
  static std::shared_ptr<I> feature(const std::shared_ptr<devio::IDevice>& device, unsigned id) {
    return device ? std::dynamic_pointer_cast<I>(device->feature_by_id(id)) : nullptr;
  }

  std::string firmwareVersion(const std::shared_ptr<devio::IDevice>& device) {
    const auto info = feature<devio::IFeature0003FirmwareInfo>(device, 0x0003);
    std::string version;
    if (!info || !info->GetFirmwareVersion(&version)) return "(none)";
    return version;
  }

  // Plugs the keyboard in, arms update mode through DFU control and replugs it; the DFU feature
  // of the update-mode device is in dfu, its statuses go to events.
  void enterUpdateMode() {
    keyboard->plug();
    const auto normal = arrival(keyboard->pid());
    const auto control = feature<devio::IFeature00c1DFUControl>(normal, 0x00C1);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->SetDfuControl(1, 0, 0, 0));
    keyboard->replug();
    useUpdateDevice();
  }

  void useUpdateDevice() {
    updateDevice = arrival(Keyboard::pidOf(keyboard->variant(), Mode::Update));
    dfu = feature<devio::IFeature00d0DFU>(updateDevice, 0x00D0);
    ASSERT_NE(dfu, nullptr);
    ASSERT_TRUE(events.subscribe(dfu, devio::Direct));
    events.clear();
  }

  // Sends the image's blocks in this order as the update tool does: the start block with
  // DFUStart, block i with DFUSendPacket(i - 1). Answers the status of each (-1: no answer).
  std::vector<int> stream(const std::vector<Bytes>& blocks, const std::vector<unsigned>& order) {
    std::vector<int> statuses;
    for (unsigned index : order) {
      int status = -1;
      if (index == 0) {
        if (!dfu->DFUStart(blocks[0], &status, nullptr)) status = -1;
      } else {
        status = dfu->DFUSendPacket(index - 1, blocks[index]) ? events.statusOf(index) : -1;
      }
      statuses.push_back(status);
    }
    return statuses;
  }

  long long virtualMs() const {
    return std::chrono::duration_cast<milliseconds>(clock->now().time_since_epoch()).count();
  }

  std::unique_ptr<testsupport::RunLoopPump> pump;
  sim::VirtualTime vt{clock};
  Arrivals arrivals;
  DfuEvents events;
  std::shared_ptr<Keyboard> keyboard;
  std::shared_ptr<devio::IDevice> updateDevice;
  std::shared_ptr<devio::IFeature00d0DFU> dfu;
};

struct VariantCase {
  Variant variant;
  std::uint16_t normalPid;
  std::uint16_t updatePid;
  const char* newVersion;
};

const VariantCase Variants[] = {
    {Variant::First, 0x6E21, 0x9D14, "371.3.11"},
    {Variant::Second, 0x6E29, 0x9D1C, "371.12.12"},
};

TEST_F(SimulatedZephelKeyboardTest, OnlyAnArmedKeyboardComesBackInUpdateMode) {
  for (const auto& c : Variants) {
    SCOPED_TRACE(c.normalPid);
    Keyboard::Config config;
    config.variant = c.variant;
    make(config);
    keyboard->plug();
    auto normal = arrival(c.normalPid);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(firmwareVersion(normal), "371.3.10");
    EXPECT_EQ(feature<devio::IFeature00d0DFU>(normal, 0x00D0), nullptr);

    keyboard->replug();  // not armed: normal mode again
    normal = arrival(c.normalPid);
    const auto control = feature<devio::IFeature00c1DFUControl>(normal, 0x00C1);
    ASSERT_NE(control, nullptr);
    int value = -1;
    ASSERT_TRUE(control->GetDfuControl(&value));
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(control->SetDfuControl(1, 0, 0, 0));
    ASSERT_TRUE(control->GetDfuControl(&value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(keyboard->armed());

    keyboard->replug();
    const auto update = arrival(c.updatePid);
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(keyboard->mode(), Mode::Update);
    EXPECT_FALSE(keyboard->armed());  // used up
    EXPECT_NE(feature<devio::IFeature00d0DFU>(update, 0x00D0), nullptr);
    EXPECT_EQ(feature<devio::IFeature00c1DFUControl>(update, 0x00C1), nullptr);
    EXPECT_EQ(feature<devio::IFeature8100OnboardProfiles>(update, 0x8100), nullptr);
    EXPECT_NE(feature<devio::IFeature0003FirmwareInfo>(update, 0x0003), nullptr);

    keyboard->replug();  // nothing was erased: the firmware starts again
    EXPECT_NE(arrival(c.normalPid), nullptr);
    EXPECT_EQ(arrivals.removed, (std::vector<int>{c.normalPid, c.normalPid, c.updatePid}));
    keyboard.reset();
    pump->drain();
    arrivals.removed.clear();
  }
}

TEST_F(SimulatedZephelKeyboardTest, TheEmbeddedImageIsAcceptedAndTheRestartBringsItsVersion) {
  for (const auto& c : Variants) {
    SCOPED_TRACE(c.normalPid);
    Keyboard::Config config;
    config.variant = c.variant;
    make(config);
    enterUpdateMode();
    const auto blocks = embeddedImage(c.variant);
    std::vector<int> expected(blocks.size(), Ok);
    expected.back() = Done;
    EXPECT_EQ(stream(blocks, allBlocks(blocks.size())), expected);
    EXPECT_EQ(events.statusOf(0), Ok);  // the notification after the start
    EXPECT_TRUE(keyboard->imageAccepted());
    EXPECT_EQ(keyboard->dfuStarts(), 1);
    const auto functions = keyboard->packetFunctions();
    ASSERT_EQ(functions.size(), blocks.size() - 1);
    for (std::size_t i = 0; i < functions.size(); ++i) ASSERT_EQ(functions[i], (i + 1) & 3) << i;

    ASSERT_TRUE(dfu->DFURestart(0));
    const auto normal = arrival(c.normalPid);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(firmwareVersion(normal), c.newVersion);
    EXPECT_EQ(keyboard->version(), c.newVersion);
    EXPECT_EQ(keyboard->restarts(), 1);
  }
}

struct ImageCase {
  const char* what;
  std::function<void(std::vector<Bytes>& blocks, std::vector<unsigned>& order)> change;
  std::vector<int> statuses;
};

// One keyboard takes them all in turn: every start begins the check again.
TEST_F(SimulatedZephelKeyboardTest, AnImageOutOfLayoutOrOrderGetsAnErrorStatus) {
  const int start = int(DfuStatus::BadStartBlock);
  const int header = int(DfuStatus::BadSectionHeader);
  const int trailer = int(DfuStatus::BadTrailer);
  const int end = int(DfuStatus::BadEndBlock);
  const ImageCase cases[] = {
      {"data before any start", [](auto&, auto& order) { order = {1, 2}; }, {Sequence, Sequence}},
      {"the other variant's start block", [](auto& b, auto&) { b[0] = smallImage("Q371_D1")[0]; },
       {start, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence}},
      {"a stray byte in the start block", [](auto& b, auto&) { b[0][15] = 1; },
       {start, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence}},
      {"another load address", [](auto& b, auto&) { b[1][4] = 1; },
       {Ok, header, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence}},
      {"a program length of part of a block", [](auto& b, auto&) { b[1][8] = 65; },
       {Ok, header, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence}},
      {"a skipped block", [](auto&, auto& order) { order = {0, 1, 2, 4, 5, 6, 7, 8}; },
       {Ok, Ok, Ok, Sequence, Sequence, Sequence, Sequence, Sequence}},
      {"a repeated block (a retry)", [](auto&, auto& order) { order = {0, 1, 2, 3, 3, 4, 5, 6, 7, 8}; },
       {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done}},
      {"another block with the function of the one just taken", [](auto&, auto& order) { order = {0, 1, 2, 3, 7, 4}; },
       {Ok, Ok, Ok, Ok, Sequence, Sequence}},
      {"the block before a bad one again", [](auto&, auto& order) { order = {0, 1, 2, 4, 2}; },
       {Ok, Ok, Ok, Sequence, Sequence}},
      {"a changed program byte", [](auto& b, auto&) { b[4][3] ^= 0x10; }, {Ok, Ok, Ok, Ok, Ok, Ok, Ok, trailer, Sequence}},
      {"a changed first trailer", [](auto& b, auto&) { b[6][8] = 0; }, {Ok, Ok, Ok, Ok, Ok, Ok, trailer, Sequence, Sequence}},
      {"a changed end block", [](auto& b, auto&) { b[8][0] = 0x04; }, {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, end}},
      {"a block after the end", [](auto&, auto& order) { order.push_back(7); }, {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done, Sequence}},
      {"the end block again", [](auto&, auto& order) { order.push_back(8); }, {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done, Done}},
      {"the whole image again", [](auto&, auto&) {}, {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done}},
  };
  make();
  enterUpdateMode();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto blocks = smallImage();
    auto order = allBlocks(blocks.size());
    c.change(blocks, order);
    EXPECT_EQ(stream(blocks, order), c.statuses);
    EXPECT_EQ(keyboard->imageAccepted(), std::find(c.statuses.begin(), c.statuses.end(), Done) != c.statuses.end());
  }
}

TEST_F(SimulatedZephelKeyboardTest, AnIncompleteImageLeavesTheKeyboardInUpdateMode) {
  make();
  enterUpdateMode();
  const auto blocks = smallImage();
  auto order = allBlocks(blocks.size());
  order.pop_back();  // no end block
  EXPECT_EQ(stream(blocks, order), std::vector<int>(order.size(), Ok));
  EXPECT_FALSE(keyboard->imageAccepted());
  ASSERT_TRUE(dfu->DFURestart(0));
  ASSERT_TRUE(keyboard->waitForRestarts(1));
  EXPECT_EQ(keyboard->mode(), Mode::Update);
  EXPECT_FALSE(keyboard->firmwareIntact());
  useUpdateDevice();
  keyboard->replug();  // power cycles do not help either
  EXPECT_NE(arrival(Keyboard::FirstUpdatePid), nullptr);
  EXPECT_EQ(keyboard->version(), "371.3.10");
}

struct FaultCase {
  const char* what;
  Keyboard::Faults faults;
  std::vector<int> first;
  bool startNotified;
  std::vector<int> second;  // the same image again
};

Keyboard::Faults lostAckAt(unsigned block) {
  Keyboard::Faults f;
  f.lostAckAtBlock = block;
  return f;
}
Keyboard::Faults errorAt(unsigned block) {
  Keyboard::Faults f;
  f.errorAtBlock = block;
  return f;
}
Keyboard::Faults neverAccept() {
  Keyboard::Faults f;
  f.neverAccept = true;
  return f;
}

TEST_F(SimulatedZephelKeyboardTest, InjectedTransferFaultsFireOnceExceptTheRefusedImage) {
  const std::vector<int> clean{Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done};
  const FaultCase cases[] = {
      {"lost start acknowledgement", lostAckAt(0), clean, false, clean},
      {"lost acknowledgement of block 4", lostAckAt(4), {Ok, Ok, Ok, Ok, Busy, Ok, Ok, Ok, Done}, true, clean},
      {"start refused", errorAt(0),
       {Refused, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence, Sequence}, false, clean},
      {"block 4 refused", errorAt(4), {Ok, Ok, Ok, Ok, Refused, Sequence, Sequence, Sequence, Sequence}, true, clean},
      {"image never accepted", neverAccept(), {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Refused}, true,
       {Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Refused}},
  };
  make();
  enterUpdateMode();
  const auto blocks = smallImage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    keyboard->setFaults(c.faults);
    events.clear();
    EXPECT_EQ(stream(blocks, allBlocks(blocks.size())), c.first);
    EXPECT_EQ(events.statusOf(0), c.startNotified ? Ok : -1);
    EXPECT_EQ(stream(blocks, allBlocks(blocks.size())), c.second);
    EXPECT_EQ(keyboard->imageAccepted(), c.second.back() == Done);
  }
  // The refused image leaves nothing to start.
  ASSERT_TRUE(dfu->DFURestart(0));
  ASSERT_TRUE(keyboard->waitForRestarts(1));
  EXPECT_EQ(keyboard->mode(), Mode::Update);
}

TEST_F(SimulatedZephelKeyboardTest, AKeyboardThatVanishesMidTransferComesBackInUpdateMode) {
  Keyboard::Config config;
  config.faults.unplugAtBlock = 3;
  make(config);
  enterUpdateMode();
  const auto blocks = smallImage();
  EXPECT_EQ(stream(blocks, {0, 1, 2}), (std::vector<int>{Ok, Ok, Ok}));
  EXPECT_FALSE(vt.run([&] { return dfu->DFUSendPacket(2, blocks[3]); }));  // no answer: it is gone
  dfu.reset();
  ASSERT_TRUE(keyboard->waitUntilUnplugged());
  pump->drain();
  EXPECT_EQ(arrivals.removed.back(), Keyboard::FirstUpdatePid);

  keyboard->plug();
  useUpdateDevice();
  EXPECT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
  ASSERT_TRUE(dfu->DFURestart(0));
  EXPECT_EQ(firmwareVersion(arrival(Keyboard::FirstNormalPid)), "371.3.42");  // the text the image carries
}

TEST_F(SimulatedZephelKeyboardTest, SettingsSurviveTheUpdate) {
  make();
  keyboard->plug();
  auto normal = arrival(Keyboard::FirstNormalPid);
  auto profiles = feature<devio::IFeature8100OnboardProfiles>(normal, 0x8100);
  auto leds = feature<devio::IFeature1300LEDControl>(normal, 0x1300);
  ASSERT_NE(profiles, nullptr);
  ASSERT_NE(leds, nullptr);
  Bytes written(1024);
  for (std::size_t i = 0; i < written.size(); ++i) written[i] = Byte(255 - i % 251);
  ASSERT_TRUE(profiles->BeginWrite(1, 0, 1024));
  for (std::size_t at = 0; at < written.size(); at += 16) {
    int status = -1;
    ASSERT_TRUE(profiles->WriteData(Bytes(written.begin() + at, written.begin() + at + 16), &status));
    EXPECT_EQ(status, 0);
  }
  ASSERT_TRUE(profiles->EndWrite());
  ASSERT_TRUE(profiles->SetActiveProfile(3));
  ASSERT_TRUE(profiles->SetActiveProfileResolution(4));
  ASSERT_TRUE(leds->SetNvConfig(0, 1));
  ASSERT_TRUE(leds->SetNvConfig(2, 2));
  const Keyboard::Settings before = keyboard->settings();
  EXPECT_EQ(before.sectors[1], written);
  EXPECT_EQ(before.sectors[0], Keyboard::factorySettings().sectors[0]);
  EXPECT_EQ(before.activeProfile, 3);
  EXPECT_EQ(before.resolutionIndex, 4);
  EXPECT_EQ(before.ledNvConfigs, (std::array<Byte, 3>{1, 4, 2}));

  ASSERT_TRUE(feature<devio::IFeature00c1DFUControl>(normal, 0x00C1)->SetDfuControl(1, 0, 0, 0));
  keyboard->replug();
  useUpdateDevice();
  const auto blocks = smallImage();
  ASSERT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
  ASSERT_TRUE(dfu->DFURestart(0));
  normal = arrival(Keyboard::FirstNormalPid);
  EXPECT_EQ(keyboard->settings(), before);

  // And the host reads the same through the features.
  profiles = feature<devio::IFeature8100OnboardProfiles>(normal, 0x8100);
  leds = feature<devio::IFeature1300LEDControl>(normal, 0x1300);
  ASSERT_NE(profiles, nullptr);
  ASSERT_NE(leds, nullptr);
  for (int sector = 0; sector < 3; ++sector) {
    Bytes read;
    for (int offset = 0; offset < 1024; offset += 16) {
      Bytes data;
      ASSERT_TRUE(profiles->ReadData(sector, offset, &data));
      read.insert(read.end(), data.begin(), data.end());
    }
    EXPECT_EQ(read, before.sectors[std::size_t(sector)]) << sector;
  }
  int value = -1;
  ASSERT_TRUE(profiles->GetActiveProfile(&value));
  EXPECT_EQ(value, 3);
  ASSERT_TRUE(profiles->GetActiveProfileResolution(&value));
  EXPECT_EQ(value, 4);
  ASSERT_TRUE(leds->GetNvConfig(0, &value));
  EXPECT_EQ(value, 1);
}

struct LedCase {
  int index;
  unsigned type;
};

TEST_F(SimulatedZephelKeyboardTest, LightingAndProfilesAnswerAsTheHostFeaturesExpect) {
  make();
  keyboard->plug();
  const auto normal = arrival(Keyboard::FirstNormalPid);
  const auto leds = feature<devio::IFeature1300LEDControl>(normal, 0x1300);
  const auto profiles = feature<devio::IFeature8100OnboardProfiles>(normal, 0x8100);
  ASSERT_NE(leds, nullptr);
  ASSERT_NE(profiles, nullptr);
  const Keyboard::Settings factory = Keyboard::factorySettings();

  int count = 0;
  ASSERT_TRUE(leds->GetLEDCount(&count));
  EXPECT_EQ(count, 3);
  for (const LedCase c : {LedCase{0, 4}, LedCase{1, 2}, LedCase{2, 2}}) {
    devio::IFeature1300LEDControl::LEDInfo info;
    ASSERT_TRUE(leds->GetLEDInfo(c.index, &info));
    EXPECT_EQ(info.index, unsigned(c.index));
    EXPECT_EQ(info.type, c.type);
    int config = -1;
    ASSERT_TRUE(leds->GetNvConfig(c.index, &config));
    EXPECT_EQ(config, factory.ledNvConfigs[std::size_t(c.index)]);
  }

  devio::IFeature8100OnboardProfiles::OnboardProfilesInfo info;
  ASSERT_TRUE(profiles->GetOnboardProfilesInfo(&info));
  EXPECT_EQ(info.word, 1024u);
  Bytes data;
  ASSERT_TRUE(profiles->ReadData(2, 16, &data));
  EXPECT_EQ(data, Bytes(factory.sectors[2].begin() + 16, factory.sectors[2].begin() + 32));
  int value = -1;
  ASSERT_TRUE(profiles->GetActiveProfile(&value));
  EXPECT_EQ(value, 1);
  ASSERT_TRUE(profiles->GetActiveProfileResolution(&value));
  EXPECT_EQ(value, 2);

  // Requests the keyboard refuses, each changing nothing.
  const std::pair<const char*, std::function<bool()>> refused[] = {
      {"LED beyond the table", [&] { return leds->GetLEDInfo(3, nullptr); }},
      {"NV configuration beyond the table", [&] { return leds->SetNvConfig(3, 1); }},
      {"sector beyond the memory", [&] { return profiles->ReadData(3, 0, &data); }},
      {"read past the sector's end", [&] { return profiles->ReadData(0, 1016, &data); }},
      {"profile 4", [&] { return profiles->SetActiveProfile(4); }},
      {"resolution index 5", [&] { return profiles->SetActiveProfileResolution(5); }},
      {"region past the sector's end", [&] { return profiles->BeginWrite(0, 1000, 32); }},
      {"data without a region", [&] { return profiles->WriteData(Bytes(16, 0xAB), nullptr); }},
      {"a region ended half written",
       [&] {
         return profiles->BeginWrite(2, 0, 32) && profiles->WriteData(Bytes(16, 0xAB), nullptr) && profiles->EndWrite();
       }},
      {"data beyond the region",
       [&] {
         return profiles->BeginWrite(2, 0, 16) && profiles->WriteData(Bytes(16, 0xAB), nullptr) &&
                profiles->WriteData(Bytes(16, 0xAB), nullptr);
       }},
  };
  for (const auto& [what, call] : refused) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(call());
    EXPECT_EQ(keyboard->settings(), factory);
  }
}

TEST_F(SimulatedZephelKeyboardTest, TheVersionTextReachesTheHostAsWritten) {
  for (const char* text : {"371.3.10", "371.12.12", "200.3.9911", "371.99.0"}) {
    SCOPED_TRACE(text);
    Keyboard::Config config;
    config.version = text;
    make(config);
    keyboard->plug();
    EXPECT_EQ(firmwareVersion(arrival(Keyboard::FirstNormalPid)), text);
  }
  for (const char* text : {"37.3.10", "371.3", "371.3.10a", "371.100.1", "371.3.12345", ""}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(keyboard->setVersion(text));
    Keyboard::Config config;
    config.version = text;
    EXPECT_THROW(Keyboard::create(bus, config), std::invalid_argument);
  }
  EXPECT_EQ(keyboard->version(), "371.99.0");
}

// ---- faults placed at a block, under virtual time ----

struct AnswerFaultCase {
  const char* what;
  std::function<void(Keyboard::Faults&)> set;
  std::vector<int> statuses;
  int dataPackets;  // as the keyboard received them, repeats included
  int dfuStarts;
  long long minMs, maxMs;  // the virtual time the transfer took
  std::vector<std::pair<unsigned, int>> reports;  // packet, statuses the host was told for it
};

// The host's command engine waits 3000 ms for an answer, then pauses 20 to 519 ms before its
// ping and the repeat; a second ping comes after another 40 to 539 ms.
constexpr long long Retry = 3020;
constexpr long long RetryLatest = 3519;
constexpr long long SecondPing = 40;
constexpr long long SecondPingLatest = 539;

TEST_F(SimulatedZephelKeyboardTest, LostLateAndRepeatedAnswersAtABlockAsTheHostSeesThem) {
  const std::vector<int> clean{Ok, Ok, Ok, Ok, Ok, Ok, Ok, Ok, Done};
  const AnswerFaultCase cases[] = {
      {"no answer to block 4: the engine's repeat is answered", [](auto& f) { f.noAnswerAtBlock = 4; }, clean, 9, 1,
       Retry, RetryLatest, {{4, 1}, {5, 1}}},
      {"no answer to the start block: the repeated start begins again", [](auto& f) { f.noAnswerAtBlock = 0; }, clean,
       8, 2, Retry, RetryLatest, {{0, 2}}},
      {"a late answer within the engine's wait",
       [](auto& f) {
         f.lateAnswerAtBlock = 4;
         f.lateBy = milliseconds(1000);
       },
       clean, 8, 1, 1000, 1000, {{4, 1}}},
      // The host takes it for another program's answer with its software id: it pings once more
      // with another id before the repeat, which is answered.
      {"an answer after the engine's wait, before its repeat",
       [](auto& f) {
         f.lateAnswerAtBlock = 4;
         f.lateBy = milliseconds(3010);
       },
       clean, 9, 1, Retry + SecondPing, RetryLatest + SecondPingLatest, {{4, 1}}},
      {"a late start answer, its notification after it",
       [](auto& f) {
         f.lateAnswerAtBlock = 0;
         f.lateBy = milliseconds(1000);
       },
       clean, 8, 1, 1000, 1000, {{0, 1}}},
      {"block 4's status twice", [](auto& f) { f.duplicateStatusAtBlock = 4; }, clean, 8, 1, 0, 0, {{4, 2}, {5, 1}}},
      {"the start's status twice", [](auto& f) { f.duplicateStatusAtBlock = 0; }, clean, 8, 1, 0, 0, {{0, 2}}},
      {"block 3's status again after block 4", [](auto& f) { f.staleStatusAtBlock = 4; }, clean, 8, 1, 0, 0,
       {{3, 2}, {4, 1}}},
      {"no stale status before the start", [](auto& f) { f.staleStatusAtBlock = 0; }, clean, 8, 1, 0, 0, {{0, 1}}},
      {"all at once, at different blocks",
       [](auto& f) {
         f.noAnswerAtBlock = 2;
         f.lostAckAtBlock = 3;
         f.lateAnswerAtBlock = 5;
         f.lateBy = milliseconds(1000);
         f.duplicateStatusAtBlock = 6;
         f.staleStatusAtBlock = 8;
       },
       {Ok, Ok, Ok, Busy, Ok, Ok, Ok, Ok, Done}, 9, 1, Retry + 1000, RetryLatest + 1000,
       {{2, 1}, {3, 1}, {5, 1}, {6, 2}, {7, 2}}},
  };
  const auto blocks = smallImage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    make();
    enterUpdateMode();
    // The library's timers of the new plug expire first, so the time taken is the transfer's.
    clock->advanceMs(10000);
    Keyboard::Faults faults;
    c.set(faults);
    keyboard->setFaults(faults);
    const auto start = virtualMs();
    EXPECT_EQ(vt.run([&] { return stream(blocks, allBlocks(blocks.size())); }), c.statuses);
    const auto took = virtualMs() - start;
    EXPECT_GE(took, c.minMs);
    EXPECT_LE(took, c.maxMs);
    EXPECT_EQ(keyboard->dataPackets(), c.dataPackets);
    EXPECT_EQ(keyboard->dfuStarts(), c.dfuStarts);
    for (const auto& [packet, count] : c.reports) EXPECT_EQ(events.waitForCount(packet, count), count) << packet;

    // Fired once: with the timers the transfer started expired, the same image again goes
    // through at once.
    clock->advanceMs(10000);
    const auto again = virtualMs();
    EXPECT_EQ(vt.run([&] { return stream(blocks, allBlocks(blocks.size())); }), clean);
    EXPECT_EQ(virtualMs(), again);
    EXPECT_EQ(keyboard->dataPackets(), c.dataPackets + 8);
  }
}

TEST_F(SimulatedZephelKeyboardTest, ARestartTakesItsDelayOnTheKeyboardsClock) {
  Keyboard::Config config;
  config.restartDelay = milliseconds(5000);
  make(config);
  enterUpdateMode();
  const auto blocks = smallImage();
  ASSERT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
  // The library's timers of the plug expire first, so the restart is all that waits on the clock.
  clock->advanceMs(10000);
  const auto start = virtualMs();
  ASSERT_TRUE(dfu->DFURestart(0));
  ASSERT_TRUE(keyboard->waitUntilUnplugged());
  EXPECT_EQ(keyboard->restarts(), 0);
  EXPECT_TRUE(vt.run([&] { return keyboard->waitForRestarts(1); }));
  EXPECT_EQ(virtualMs() - start, 5000);
  EXPECT_EQ(keyboard->mode(), Mode::Normal);
  EXPECT_EQ(firmwareVersion(arrival(Keyboard::FirstNormalPid)), "371.3.42");
}

struct OutcomeCase {
  const char* what;
  std::function<void(Keyboard::Faults&)> set;
  Mode back;            // what the restart (and every replug after it) brings
  const char* version;  // as the host reads it in normal mode; "(none)" when it cannot
  bool firmwareInfo;    // 0x0003 offered in normal mode
  bool dfuControl;      // 0x00C1 offered in normal mode
};

TEST_F(SimulatedZephelKeyboardTest, AnAcceptedImageBringsBackWhatItsFaultsSay) {
  using VersionFault = Keyboard::VersionFault;
  const OutcomeCase cases[] = {
      {"no fault", [](auto&) {}, Mode::Normal, "371.3.42", true, true},
      {"the old firmware stays", [](auto& f) { f.acceptWithoutUpdate = true; }, Mode::Normal, "371.3.10", true, true},
      {"the new firmware does not boot", [](auto& f) { f.bootFails = true; }, Mode::Update, "", true, true},
      {"no firmware information",
       [](auto& f) { f.versionAfterUpdate = VersionFault::NoFirmwareInfo; }, Mode::Normal, "(none)", false, true},
      {"firmware information that cannot be read",
       [](auto& f) { f.versionAfterUpdate = VersionFault::ReadFails; }, Mode::Normal, "(none)", true, true},
      {"no main firmware entity",
       [](auto& f) { f.versionAfterUpdate = VersionFault::NoMainEntity; }, Mode::Normal, "(none)", true, true},
      {"no DFU control", [](auto& f) { f.noDfuControlAfterUpdate = true; }, Mode::Normal, "371.3.42", true, false},
      {"the faults of the new firmware do not hit the old one",
       [](auto& f) {
         f.acceptWithoutUpdate = true;
         f.versionAfterUpdate = VersionFault::NoFirmwareInfo;
         f.noDfuControlAfterUpdate = true;
       },
       Mode::Normal, "371.3.10", true, true},
  };
  const auto blocks = smallImage();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    make();
    enterUpdateMode();
    Keyboard::Faults faults;
    c.set(faults);
    keyboard->setFaults(faults);
    ASSERT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
    EXPECT_TRUE(keyboard->imageAccepted());
    ASSERT_TRUE(dfu->DFURestart(0));
    for (int plug = 0; plug < 2; ++plug) {
      SCOPED_TRACE(plug == 0 ? "after the restart" : "after a replug");
      const auto device = arrival(Keyboard::pidOf(Variant::First, c.back));
      ASSERT_NE(device, nullptr);
      if (c.back == Mode::Normal) {
        EXPECT_EQ(firmwareVersion(device), c.version);
        EXPECT_EQ(feature<devio::IFeature0003FirmwareInfo>(device, 0x0003) != nullptr, c.firmwareInfo);
        EXPECT_EQ(feature<devio::IFeature00c1DFUControl>(device, 0x00C1) != nullptr, c.dfuControl);
      } else {
        EXPECT_FALSE(keyboard->firmwareIntact());
      }
      keyboard->replug();
    }
    EXPECT_FALSE(keyboard->faults().acceptWithoutUpdate);  // once; the others stay
    EXPECT_EQ(keyboard->faults().bootFails, faults.bootFails);
    EXPECT_EQ(keyboard->faults().versionAfterUpdate, faults.versionAfterUpdate);
  }
}

TEST_F(SimulatedZephelKeyboardTest, AnIgnoredRestartLeavesTheKeyboardAttachedOnce) {
  Keyboard::Config config;
  config.faults.ignoreRestart = true;
  make(config);
  enterUpdateMode();
  const auto blocks = smallImage();
  ASSERT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
  ASSERT_TRUE(dfu->DFURestart(0));
  // Still the same plug: it goes on answering.
  EXPECT_EQ(stream(blocks, allBlocks(blocks.size())).back(), Done);
  EXPECT_TRUE(keyboard->plugged());
  EXPECT_EQ(keyboard->mode(), Mode::Update);
  EXPECT_FALSE(keyboard->faults().ignoreRestart);

  ASSERT_TRUE(dfu->DFURestart(0));
  EXPECT_EQ(firmwareVersion(arrival(Keyboard::FirstNormalPid)), "371.3.42");
  EXPECT_EQ(keyboard->restarts(), 1);
  EXPECT_EQ(std::count(arrivals.removed.begin(), arrivals.removed.end(), int(Keyboard::FirstUpdatePid)), 1);
}

struct ControlCall {
  bool ok;
  devio::ErrorCode error;  // when not ok
  bool armed;              // afterwards
};

TEST_F(SimulatedZephelKeyboardTest, FailingAndIgnoredDfuControlCountDown) {
  Keyboard::Config config;
  config.faults.dfuControlFailures = 2;
  config.faults.dfuControlIgnored = 1;
  make(config);
  keyboard->plug();
  const auto control = feature<devio::IFeature00c1DFUControl>(arrival(Keyboard::FirstNormalPid), 0x00C1);
  ASSERT_NE(control, nullptr);
  const auto hardwareError = devio::ErrorCode(devio::Velo20Error0 + 4);
  const ControlCall calls[] = {
      {false, hardwareError, false},
      {false, hardwareError, false},
      {true, devio::Success, false},  // answered, not armed
      {true, devio::Success, true},
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(control->SetDfuControl(1, 0, 0, 0), calls[i].ok);
    if (!calls[i].ok) {
      EXPECT_EQ(devio::LastError::get().code, calls[i].error);
    }
    EXPECT_EQ(keyboard->armed(), calls[i].armed);
  }
  keyboard->replug();
  EXPECT_NE(arrival(Keyboard::FirstUpdatePid), nullptr);
}

// ---- input checked as a device checks it ----

TEST_F(SimulatedZephelKeyboardTest, ADfuControlRecordOutOfItsValuesIsRefused) {
  Keyboard::Config config;
  config.faults.dfuControlFailures = 1;  // spent only by a record that is taken
  make(config);
  keyboard->plug();
  const auto control = feature<devio::IFeature00c1DFUControl>(arrival(Keyboard::FirstNormalPid), 0x00C1);
  ASSERT_NE(control, nullptr);
  const std::array<Byte, 4> refused[] = {{2, 0, 0, 0}, {0xFF, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 1, 0}, {1, 0, 0, 1}, {0, 0, 0, 0x80}};
  for (const auto& [a, b, c, d] : refused) {
    SCOPED_TRACE(testing::Message() << int(a) << " " << int(b) << " " << int(c) << " " << int(d));
    EXPECT_FALSE(control->SetDfuControl(a, b, c, d));
    EXPECT_EQ(devio::LastError::get().code, devio::Velo20Error0 + 2);  // InvalidArgument
    EXPECT_EQ(devio::LastError::get().detail, 2u);
  }
  EXPECT_EQ(keyboard->faults().dfuControlFailures, 1);
  EXPECT_FALSE(control->SetDfuControl(1, 0, 0, 0));  // the failure fault
  EXPECT_TRUE(control->SetDfuControl(1, 0, 0, 0));
  EXPECT_TRUE(keyboard->armed());
  EXPECT_TRUE(control->SetDfuControl(0, 0, 0, 0));
  EXPECT_FALSE(keyboard->armed());
}

struct RawCase {
  const char* what;
  Bytes report;  // as written; the channel pads it to 20 bytes
  Bytes answer;  // empty: none
};

// A report padded as the keyboard receives it and as it answers: a short or a long report.
Bytes padded(Bytes report) {
  report.resize(report.size() <= 7 ? 7 : 20, 0);
  return report;
}

// Reports the host library never writes, straight onto the keyboard's channel with software id 1.
// Each is followed by a ping, so the reports read tell which were answered.
TEST_F(SimulatedZephelKeyboardTest, ReportsADeviceWouldNotTakeGetNoAnswerOrAnError) {
  make();
  keyboard->plug();
  ASSERT_NE(arrival(Keyboard::FirstNormalPid), nullptr);
  const Byte c1 = keyboard->device()->featureIndex(0x00C1);
  const Bytes ping{0x10, 0xFF, 0x00, 0x11, 0x00, 0x00, 0x77};
  const Bytes pong = padded({0x10, 0xFF, 0x00, 0x11, 0x04, 0x00, 0x77});
  const RawCase cases[] = {
      {"a well-formed request", {0x10, 0xFF, c1, 0x01}, padded({0x10, 0xFF, c1, 0x01, 0x00, 0x00, 0x00})},
      {"software id 0", {0x10, 0xFF, c1, 0x00}, padded({0x10, 0xFF, 0xFF, c1, 0x00, 0x02})},
      {"software id 0 to Root", {0x10, 0xFF, 0x00, 0x10, 0x00, 0x00, 0x77}, padded({0x10, 0xFF, 0xFF, 0x00, 0x10, 0x02})},
      {"device index 0", {0x10, 0x00, c1, 0x01}, {}},
      {"device index of a paired device", {0x10, 0x01, c1, 0x01}, {}},
      {"a short report id on a long report", {0x10, 0xFF, c1, 0x11, 0x01, 0x00, 0x00, 0x00, 'D', 'F', 'U'}, {}},
      {"an unknown report id", {0x12, 0xFF, c1, 0x01}, {}},
      {"a record without its guard", {0x11, 0xFF, c1, 0x11, 0x01, 0x00, 0x00, 0x00, 'D', 'F', 'X'},
       padded({0x10, 0xFF, 0xFF, c1, 0x11, 0x02})},
      {"a well-formed record", {0x11, 0xFF, c1, 0x11, 0x00, 0x00, 0x00, 0x00, 'D', 'F', 'U'},
       padded({0x10, 0xFF, c1, 0x11})},
  };
  testsupport::SimulatedHost host(keyboard->channel());
  std::vector<Bytes> expected;
  for (const auto& c : cases) {
    ASSERT_TRUE(host.write(c.report)) << c.what;
    ASSERT_TRUE(host.write(ping)) << c.what;
    if (!c.answer.empty()) expected.push_back(c.answer);
    expected.push_back(pong);
  }
  const auto reports = host.waitFor(expected.size());
  ASSERT_EQ(reports.size(), expected.size());
  for (std::size_t i = 0, at = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].what);
    if (!cases[i].answer.empty()) {
      EXPECT_EQ(reports[at++], cases[i].answer);
    }
    EXPECT_EQ(reports[at++], pong);
  }
  EXPECT_FALSE(keyboard->armed());  // the short report that carried a record was not taken
}

}  // namespace
