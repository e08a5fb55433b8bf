#include "devio/protocol/Feature0001FeatureSet.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

class FeatureSetTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(device->remaining(), 0u); }

  std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
  std::shared_ptr<Feature0001FeatureSet> featureSet = std::make_shared<Feature0001FeatureSet>(1, device);
};

TEST_F(FeatureSetTest, GetCount) {
  device->expect({{{0x10, 0xFF, 0x01, 0x0F}, answer(1, 0, 15, {0x1E})}});
  int count = 0;
  ASSERT_TRUE(featureSet->GetCount(&count));
  EXPECT_EQ(count, 30);
  EXPECT_TRUE(device->sent()[0].cacheable);
}

struct FeatureIdCase {
  Bytes payload;
  unsigned id;
  bool engineeringHidden, swHidden, obsolete;
  int version;
};

void PrintTo(const FeatureIdCase& c, std::ostream* os) { *os << std::hex << c.id; }

class FeatureSetGetFeatureID : public FeatureSetTest, public testing::WithParamInterface<FeatureIdCase> {};

TEST_P(FeatureSetGetFeatureID, DecodesIdFlagsAndVersion) {
  const FeatureIdCase& c = GetParam();
  device->expect({{{0x10, 0xFF, 0x01, 0x1F, 0x04}, answer(1, 1, 15, c.payload)}});
  unsigned id = 0;
  bool engineeringHidden = !c.engineeringHidden, swHidden = !c.swHidden, obsolete = !c.obsolete;
  int version = -1;
  ASSERT_TRUE(featureSet->GetFeatureID(4, &id, &engineeringHidden, &swHidden, &obsolete, &version));
  EXPECT_EQ(id, c.id);
  EXPECT_EQ(engineeringHidden, c.engineeringHidden);
  EXPECT_EQ(swHidden, c.swHidden);
  EXPECT_EQ(obsolete, c.obsolete);
  EXPECT_EQ(version, c.version);
  EXPECT_TRUE(device->sent()[0].cacheable);
}

INSTANTIATE_TEST_SUITE_P(Cases, FeatureSetGetFeatureID,
                         testing::Values(FeatureIdCase{{0x1D, 0x4B, 0x00, 0x00}, 0x1D4B, false, false, false, 0},
                                         FeatureIdCase{{0x00, 0xD0, 0x80, 0x01}, 0x00D0, false, false, true, 1},
                                         FeatureIdCase{{0x18, 0x02, 0x60, 0x02}, 0x1802, true, true, false, 2},
                                         // A short answer's missing version byte reads as 0.
                                         FeatureIdCase{{0x81, 0x00, 0x20}, 0x8100, true, false, false, 0}));

TEST_F(FeatureSetTest, FailuresKeepTheEnginesError) {
  device->expect({{{0x10, 0xFF, 0x01, 0x0F}, {}, {NotConnected}}, {{0x10, 0xFF, 0x01, 0x1F, 0x02}, {}, {NoResponse}}});
  EXPECT_FALSE(featureSet->GetCount(nullptr));
  EXPECT_EQ(LastError::get().code, NotConnected);
  EXPECT_FALSE(featureSet->GetFeatureID(2, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(LastError::get().code, NoResponse);
}

}  // namespace
}  // namespace devio
