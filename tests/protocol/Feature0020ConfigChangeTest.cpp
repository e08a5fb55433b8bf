#include "devio/protocol/Feature0020ConfigChange.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "devio/runtime/Subscriber.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

constexpr Byte Index = 6;

class ConfigChangeTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(device->remaining(), 0u);
    for (const auto& sent : device->sent()) EXPECT_FALSE(sent.cacheable);
  }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature0020ConfigChange> feature = std::make_shared<Feature0020ConfigChange>(Index, device);
};

TEST_F(ConfigChangeTest, GetCookieIsBigEndian) {
  device->expect({{{0x10, 0xFF, Index, 0x0F}, answer(Index, 0, 15, {0x12, 0x34, 0x56})}});
  unsigned short cookie = 0;
  ASSERT_TRUE(feature->GetCookie(&cookie));
  EXPECT_EQ(cookie, 0x1234);
}

TEST_F(ConfigChangeTest, GetCookieKeepsTheEnginesError) {
  device->expect({{{0x10, 0xFF, Index, 0x0F}, {}, {NotConnected}}});
  unsigned short cookie = 0x5555;
  EXPECT_FALSE(feature->GetCookie(&cookie));
  EXPECT_EQ(LastError::get().code, NotConnected);
  EXPECT_EQ(cookie, 0x5555);
}

TEST_F(ConfigChangeTest, SetCookieSendsTheLow16BitsHighByteFirst) {
  const std::vector<std::pair<int, Bytes>> cases{{0x1234, {0x12, 0x34}}, {0x12345, {0x23, 0x45}}, {0, {0, 0}}};
  for (const auto& [cookie, bytes] : cases) {
    const Bytes request{0x10, 0xFF, Index, 0x1F, bytes[0], bytes[1]};
    device->expect({{request, answer(Index, 1, 15, {})}});
    EXPECT_TRUE(feature->SetCookie(cookie));
  }
}

class CookieListener : public Subscriber<IFeature0020ConfigChange::ConfigReport> {
 public:
  void onCookieSet(unsigned swid, unsigned short cookie) override { events.emplace_back(swid, cookie); }
  std::vector<std::pair<unsigned, unsigned short>> events;
};

TEST_F(ConfigChangeTest, AnotherProgramsSetCookieIsReported) {
  CookieListener listener;
  ASSERT_TRUE(listener.subscribe(std::shared_ptr<IFeature>(feature), Direct));

  feature->deliverUnexpectedResponse(0, 3, {0x12, 0x34, 0x00});  // a GetCookie answer: logged only
  feature->deliverUnexpectedResponse(1, 3, {0x12, 0x34, 0x00});
  feature->deliverUnexpectedResponse(1, 4, {0x12});  // too short to carry a cookie
  EXPECT_EQ(listener.events, (std::vector<std::pair<unsigned, unsigned short>>{{3, 0x1234}}));
}

}  // namespace
}  // namespace devio
