#include "devio/features/Feature00c0DFUControl.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "devio/features/Feature00c1DFUControl.h"
#include "devio/features/Feature00c2DFUControl.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/Subscriber.h"
#include "tests/support/RunLoopPump.h"
#include "tests/support/ScriptedDevice.h"

// The three generations of DFU control together: one test file per family.
namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

constexpr Byte Index = 2;

template <class T>
std::shared_ptr<T> make(unsigned id, const std::shared_ptr<ScriptedDevice>& device) {
  return std::dynamic_pointer_cast<T>(createFeature(id, Index, device));
}

class DfuControlTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) EXPECT_FALSE(sent.cacheable);
  }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
};

TEST_F(DfuControlTest, TheRegistryMakesEachGenerationsClass) {
  EXPECT_NE(make<Feature00c0DFUControl>(0x00C0, device), nullptr);
  EXPECT_NE(make<Feature00c1DFUControl>(0x00C1, device), nullptr);
  EXPECT_NE(make<Feature00c2DFUControl>(0x00C2, device), nullptr);
}

TEST_F(DfuControlTest, EnterDfuSendsTheGuard) {
  auto feature = make<IFeature00c0DFUControl>(0x00C0, device);
  device->expect({{{0x10, 0xFF, Index, 0x0F, 0x44, 0x46, 0x55}, answer(Index, 0, 15, {})},
                  {{0x10, 0xFF, Index, 0x0F, 0x44, 0x46, 0x55}, {}, {Velo20Error3, 3}}});
  EXPECT_TRUE(feature->EnterDfu());
  EXPECT_FALSE(feature->EnterDfu());
  EXPECT_EQ(LastError::get().code, Velo20Error3);
}

TEST_F(DfuControlTest, SecondGenerationReadsByte1AndWritesTheRecordWithTheGuard) {
  auto feature = make<IFeature00c1DFUControl>(0x00C1, device);
  device->expect({{{0x10, 0xFF, Index, 0x0F}, answer(Index, 0, 15, {0x00, 0x01, 0x00})},
                  {{0x11, 0xFF, Index, 0x1F, 0x01, 0x00, 0x00, 0x00, 0x44, 0x46, 0x55}, answer(Index, 1, 15, {})},
                  {{0x10, 0xFF, Index, 0x0F}, {}, {NotConnected}}});
  int control = -1;
  ASSERT_TRUE(feature->GetDfuControl(&control));
  EXPECT_EQ(control, 1);
  EXPECT_TRUE(feature->SetDfuControl(1, 0, 0, 0));
  EXPECT_FALSE(feature->GetDfuControl(&control));
  EXPECT_EQ(LastError::get().code, NotConnected);
  EXPECT_EQ(control, 1);
}

TEST_F(DfuControlTest, ThirdGenerationReadsBit0OfByte2) {
  auto feature = make<IFeature00c2DFUControl>(0x00C2, device);
  const Bytes get{0x10, 0xFF, Index, 0x0F};
  device->expect({{get, answer(Index, 0, 15, {0x00, 0x00, 0x03})},
                  {get, answer(Index, 0, 15, {0x00, 0x00, 0x02})},
                  {get, {}, {NoResponse}}});
  bool enabled = false;
  ASSERT_TRUE(feature->GetDfuControl(&enabled));
  EXPECT_TRUE(enabled);
  ASSERT_TRUE(feature->GetDfuControl(&enabled));
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(feature->GetDfuControl(&enabled));
  EXPECT_EQ(LastError::get().code, GeneralError);
}

TEST_F(DfuControlTest, ThirdGenerationWritesWithoutWaiting) {
  auto feature = make<IFeature00c2DFUControl>(0x00C2, device);
  EXPECT_TRUE(feature->SetDfuControl(0x01, 0x02));
  ASSERT_EQ(device->written().size(), 1u);
  EXPECT_EQ(device->written()[0].first, (Bytes{0x11, 0xFF, Index, 0x1F, 0x01, 0x02, 0x00, 0x00, 0x44, 0x46, 0x55}));
  EXPECT_TRUE(device->sent().empty());
}

// Each generation's ConfigReport has the same handler.
template <class Report>
class ConfigListener : public Subscriber<Report> {
 public:
  void onConfigReport(unsigned swid, unsigned short value) override { events.emplace_back(swid, value); }
  std::vector<std::pair<unsigned, unsigned short>> events;
};

using Events = std::vector<std::pair<unsigned, unsigned short>>;

// ConfigReport of 0x00C0 reaches direct subscribers only; a run-loop subscriber's call would
// show up when the run loop is drained.
class DfuControlReportTest : public DfuControlTest {
 protected:
  void TearDown() override {
    DfuControlTest::TearDown();
    theDevio().reset();
  }
  testsupport::RunLoopPump pump;
};

TEST_F(DfuControlReportTest, AnotherProgramsFunction1AnswerReachesDirectSubscribersOnly) {
  ASSERT_TRUE(pump.subscribed());
  auto feature = make<Feature00c0DFUControl>(0x00C0, device);
  ConfigListener<IFeature00c0DFUControl::ConfigReport> direct, queued;
  ASSERT_TRUE(direct.subscribe(std::shared_ptr<IFeature>(feature), Direct));
  ASSERT_TRUE(queued.subscribe(std::shared_ptr<IFeature>(feature), RunLoop));

  feature->deliverUnexpectedResponse(0, 3, {0x12, 0x34, 0x00});  // logged only
  feature->deliverUnexpectedResponse(1, 3, {0x12, 0x34, 0x00});
  feature->deliverUnexpectedResponse(1, 4, {0x12});  // too short to carry a value
  EXPECT_EQ(direct.events, (Events{{3, 0x1234}}));
  pump.drain();
  EXPECT_TRUE(queued.events.empty());
}

TEST_F(DfuControlTest, LaterGenerationsOnlyLogAnotherProgramsAnswers) {
  auto c1 = make<Feature00c1DFUControl>(0x00C1, device);
  auto c2 = make<Feature00c2DFUControl>(0x00C2, device);
  ConfigListener<IFeature00c1DFUControl::ConfigReport> l1;
  ConfigListener<IFeature00c2DFUControl::ConfigReport> l2;
  ASSERT_TRUE(l1.subscribe(std::shared_ptr<IFeature>(c1), Direct));
  ASSERT_TRUE(l2.subscribe(std::shared_ptr<IFeature>(c2), Direct));
  c1->deliverUnexpectedResponse(1, 3, {0x12, 0x34, 0x00});
  c2->deliverUnexpectedResponse(1, 3, {0x12, 0x34, 0x00});
  EXPECT_TRUE(l1.events.empty());
  EXPECT_TRUE(l2.events.empty());
}

}  // namespace
}  // namespace devio
