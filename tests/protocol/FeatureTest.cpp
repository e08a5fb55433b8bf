#include "devio/protocol/Feature.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "devio/runtime/Subscriber.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::Exchange;
using testsupport::ScriptedDevice;

class FeatureTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(device->remaining(), 0u); }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature> feature = std::make_shared<Feature>(0x1234, 5, device);
};

struct FramingCase {
  int function;
  Bytes params;
  int swid;
  Bytes request;
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.params.size() << " parameter bytes"; }

class FeatureFraming : public FeatureTest, public testing::WithParamInterface<FramingCase> {};

TEST_P(FeatureFraming, BuildsRequestAndReturnsPayload) {
  const FramingCase& c = GetParam();
  device->swidValue = c.swid;
  const Bytes reply = answer(5, c.function, c.swid, {0xA1, 0xA2, 0xA3});
  device->expect({{c.request, reply}});
  Bytes payload{0xEE};
  ASSERT_TRUE(feature->sendFeatureCommand(c.function, c.params, payload, false));
  EXPECT_EQ(payload, (Bytes{0xA1, 0xA2, 0xA3}));
}

INSTANTIATE_TEST_SUITE_P(Cases, FeatureFraming,
                         testing::Values(FramingCase{2, {}, 15, {0x10, 0xFF, 0x05, 0x2F}},
                                         FramingCase{0, {1, 2, 3}, 11, {0x10, 0xFF, 0x05, 0x0B, 1, 2, 3}},
                                         FramingCase{15, {1, 2, 3, 4}, 1, {0x11, 0xFF, 0x05, 0xF1, 1, 2, 3, 4}}));

TEST_F(FeatureTest, PassesCacheableAndMatchToTheEngine) {
  device->expect({{{0x10, 0xFF, 0x05, 0x1F}, answer(5, 1, 15, {})},
                  {{0x10, 0xFF, 0x05, 0x1F, 0, 0, 9}, answer(5, 1, 15, {0, 0, 9})}});
  Bytes payload;
  ASSERT_TRUE(feature->sendFeatureCommand(1, {}, payload, true));
  ASSERT_TRUE(feature->sendFeatureCommand(1, {0, 0, 9}, payload, false, {2}));
  ASSERT_EQ(device->sent().size(), 2u);
  EXPECT_TRUE(device->sent()[0].cacheable);
  EXPECT_TRUE(device->sent()[0].match.empty());
  EXPECT_FALSE(device->sent()[1].cacheable);
  EXPECT_EQ(device->sent()[1].match, std::vector<int>{2});
}

// The engine may change its software id while it retries; the answer carries the new one.
TEST_F(FeatureTest, ChecksTheAnswerAgainstTheCurrentSoftwareId) {
  Exchange row{{0x10, 0xFF, 0x05, 0x2F}, answer(5, 2, 14, {7})};
  row.switchSwidTo = 14;
  device->expect({row});
  Bytes payload;
  ASSERT_TRUE(feature->sendFeatureCommand(2, {}, payload, false));
  EXPECT_EQ(payload[0], 7);
}

struct RejectCase {
  std::string name;
  Bytes reply;
  ErrorCode code;
  const char* message;
};

void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }

class FeatureRejects : public FeatureTest, public testing::WithParamInterface<RejectCase> {};

TEST_P(FeatureRejects, LeavesPayloadUntouched) {
  const RejectCase& c = GetParam();
  device->expect({{{0x10, 0xFF, 0x05, 0x2F}, c.reply}});
  Bytes payload{0xEE};
  EXPECT_FALSE(feature->sendFeatureCommand(2, {}, payload, false));
  EXPECT_EQ(payload, Bytes{0xEE});
  const LastError e = LastError::get();
  EXPECT_EQ(e.code, c.code);
  EXPECT_EQ(e.detail, 0u);
  if (c.message)
    EXPECT_STREQ(e.message, c.message);
  else
    EXPECT_EQ(e.message, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FeatureRejects,
    testing::Values(RejectCase{"TooShort", {0x10, 0xFF, 0x05, 0x2F, 0, 0}, CommandResponseTooShort, nullptr},
                    RejectCase{"OtherFunction", answer(5, 3, 15, {}), GeneralError, "response does not match command"},
                    RejectCase{"OtherIndex", answer(6, 2, 15, {}), GeneralError, "response does not match command"},
                    RejectCase{"OtherSwid", answer(5, 2, 3, {}), GeneralError, "response does not match command"}),
    [](const testing::TestParamInfo<RejectCase>& info) { return info.param.name; });

TEST_F(FeatureTest, KeepsTheEnginesError) {
  device->expect({{{0x10, 0xFF, 0x05, 0x2F}, {}, {Velo20Error8, 8}}});
  Bytes payload{0xEE};
  EXPECT_FALSE(feature->sendFeatureCommand(2, {}, payload, false));
  EXPECT_EQ(payload, Bytes{0xEE});
  EXPECT_EQ(LastError::get().code, Velo20Error8);
  EXPECT_EQ(LastError::get().detail, 8u);
}

TEST_F(FeatureTest, WritesWithoutWaiting) {
  EXPECT_TRUE(feature->sendFeatureCommandNoResponse(3, {0x42}));
  ASSERT_EQ(device->written().size(), 1u);
  EXPECT_EQ(device->written()[0].first, (Bytes{0x10, 0xFF, 0x05, 0x3F, 0x42}));
  EXPECT_FALSE(device->written()[0].second);
  EXPECT_TRUE(device->sent().empty());
}

TEST_F(FeatureTest, EveryDeviceOperationFailsWhenTheDeviceIsGone) {
  device.reset();
  EXPECT_EQ(feature->device(), nullptr);
  const std::vector<std::function<bool()>> operations{
      [&] {
        Bytes payload;
        return feature->sendFeatureCommand(0, {}, payload, false);
      },
      [&] { return feature->sendFeatureCommandNoResponse(0, {}); },
      [&] { return feature->set_configured(); },
      [&] { return feature->set_pending(); },
  };
  for (const auto& operation : operations) {
    LastError::set(Success);
    EXPECT_FALSE(operation());
    EXPECT_EQ(LastError::get().code, DeviceRemoved);
  }
  device = std::make_shared<ScriptedDevice>();  // for TearDown
}

TEST_F(FeatureTest, IdentityAndTableFlags) {
  EXPECT_EQ(feature->id(), 0x1234u);
  EXPECT_EQ(feature->index(), 5);
  EXPECT_EQ(feature->device(), device);
  EXPECT_EQ(feature->self(), feature);
  EXPECT_FALSE(feature->obsolete() || feature->hidden() || feature->engineering());
  EXPECT_EQ(feature->version(), 0);
  feature->set_table_flags(true, false, true, 3);
  EXPECT_TRUE(feature->obsolete());
  EXPECT_FALSE(feature->hidden());
  EXPECT_TRUE(feature->engineering());
  EXPECT_EQ(feature->version(), 3);
  EXPECT_TRUE(feature->process_pending_changes(true));
}

TEST_F(FeatureTest, SetConfiguredAsksTheDeviceOnceItAccepted) {
  EXPECT_TRUE(feature->set_configured());
  EXPECT_TRUE(feature->is_configured());
  EXPECT_TRUE(feature->set_configured());
  ASSERT_EQ(device->configuredCalls.size(), 1u);
  EXPECT_EQ(device->configuredCalls[0], feature);

  // Configuration lost: the next change takes ownership again.
  feature->clear_configured();
  EXPECT_FALSE(feature->is_configured());
  EXPECT_TRUE(feature->set_configured());
  EXPECT_EQ(device->configuredCalls.size(), 2u);
}

// A refused claim is not remembered: the device never listed the feature as configured.
TEST_F(FeatureTest, SetConfiguredRefusedIsAskedAgain) {
  device->acceptConfigured = false;
  EXPECT_FALSE(feature->set_configured());
  EXPECT_EQ(LastError::get().code, NotConnected);
  EXPECT_FALSE(feature->is_configured());
  device->acceptConfigured = true;
  EXPECT_TRUE(feature->set_configured());
  EXPECT_EQ(device->configuredCalls.size(), 2u);
}

TEST_F(FeatureTest, SetPendingQueuesOnceAndNeverDuringReplay) {
  feature->set_replaying(true);
  EXPECT_FALSE(feature->set_pending());
  EXPECT_EQ(LastError::get().code, PendingDuringReplay);
  EXPECT_TRUE(device->pendingCalls.empty());
  feature->set_replaying(false);

  device->acceptPending = false;
  EXPECT_FALSE(feature->set_pending());
  EXPECT_FALSE(feature->is_pending());
  device->acceptPending = true;
  EXPECT_TRUE(feature->set_pending());
  EXPECT_TRUE(feature->is_pending());
  EXPECT_TRUE(feature->set_pending());
  ASSERT_EQ(device->pendingCalls.size(), 2u);
  EXPECT_EQ(device->pendingCalls[1], feature);

  // A pending feature during its replay still refuses; after a successful replay it queues anew.
  feature->set_replaying(true);
  EXPECT_FALSE(feature->set_pending());
  EXPECT_EQ(LastError::get().code, PendingDuringReplay);
  feature->clear_pending();
  feature->set_replaying(false);
  EXPECT_FALSE(feature->is_pending());
  EXPECT_TRUE(feature->set_pending());
  EXPECT_EQ(device->pendingCalls.size(), 3u);
}

// Records the hooks of a specific class and the subscriber's handlers in one log.
class RecordingFeature : public Feature {
 public:
  RecordingFeature(std::weak_ptr<IDevice> device, std::vector<std::string>* log)
      : Feature(0x4242, 7, std::move(device)), log_(log) {}
  void onFeatureReport(int function, const Bytes& payload) override {
    log_->push_back("hook report " + std::to_string(function) + "/" + std::to_string(payload.size()));
  }
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override {
    log_->push_back("hook unexpected " + std::to_string(function) + "/" + std::to_string(swid) + "/" +
                    std::to_string(payload.size()));
  }

 private:
  std::vector<std::string>* log_;
};

class ReportListener : public Subscriber<IFeature::FeatureReport> {
 public:
  explicit ReportListener(std::vector<std::string>* log) : log_(log) {}
  void onFeatureReport(int function, const Bytes& payload) override {
    log_->push_back("event report " + std::to_string(function) + "/" + std::to_string(payload.size()));
  }
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override {
    log_->push_back("event unexpected " + std::to_string(function) + "/" + std::to_string(swid) + "/" +
                    std::to_string(payload.size()));
  }

 private:
  std::vector<std::string>* log_;
};

TEST_F(FeatureTest, EntriesProduceTheEventThenCallTheHook) {
  std::vector<std::string> log;
  auto recording = std::make_shared<RecordingFeature>(device, &log);
  ReportListener listener(&log);
  ASSERT_TRUE(listener.subscribe(recording, Direct));

  recording->deliverFeatureReport(2, {1, 2, 3});
  recording->deliverUnexpectedResponse(1, 3, {1, 2, 3, 4});
  EXPECT_EQ(log, (std::vector<std::string>{"event report 2/3", "hook report 2/3", "event unexpected 1/3/4",
                                           "hook unexpected 1/3/4"}));
}

}  // namespace
}  // namespace devio
