#include "devio/protocol/FeatureRegistry.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0000Root.h"
#include "devio/protocol/IFeature0001FeatureSet.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/protocol/IFeature0020ConfigChange.h"
#include "devio/protocol/IFeature1802DeviceReset.h"
#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

struct CoreCase {
  unsigned id;
  std::function<bool(const std::shared_ptr<IFeature>&)> isClass;
};

void PrintTo(const CoreCase& c, std::ostream* os) { *os << std::hex << c.id; }

template <class I>
bool implements(const std::shared_ptr<IFeature>& feature) {
  return std::dynamic_pointer_cast<I>(feature) != nullptr;
}

class CoreFeatures : public testing::TestWithParam<CoreCase> {};

TEST_P(CoreFeatures, AreCreatedAsTheirClass) {
  auto device = std::make_shared<ScriptedDevice>();
  auto feature = createFeature(GetParam().id, 9, device);
  ASSERT_NE(feature, nullptr);
  EXPECT_TRUE(GetParam().isClass(feature));
  EXPECT_NE(std::dynamic_pointer_cast<Feature>(feature), nullptr);
  EXPECT_EQ(feature->id(), GetParam().id);
  EXPECT_EQ(feature->index(), 9);
  EXPECT_EQ(feature->device(), device);
}

INSTANTIATE_TEST_SUITE_P(Registered, CoreFeatures,
                         testing::Values(CoreCase{0x0000, implements<IFeature0000Root>},
                                         CoreCase{0x0001, implements<IFeature0001FeatureSet>},
                                         CoreCase{0x0003, implements<IFeature0003FirmwareInfo>},
                                         CoreCase{0x0020, implements<IFeature0020ConfigChange>},
                                         CoreCase{0x1802, implements<IFeature1802DeviceReset>}));

TEST(FeatureRegistry, UnregisteredIdYieldsAPlainFeatureThatSendsRequests) {
  auto device = std::make_shared<ScriptedDevice>();
  auto feature = createFeature(0x7E57, 4, device);
  ASSERT_NE(feature, nullptr);
  EXPECT_EQ(feature->id(), 0x7E57u);
  EXPECT_FALSE(implements<IFeature0000Root>(feature));

  device->expect({{{0x10, 0xFF, 0x04, 0x1F, 0x01}, answer(4, 1, 15, {0x55})}});
  Bytes payload;
  ASSERT_TRUE(feature->sendFeatureCommand(1, {0x01}, payload, false));
  EXPECT_EQ(payload[0], 0x55);
}

// A class that tells which factory made it by its version.
std::shared_ptr<IFeature> makeTagged(unsigned id, int index, std::weak_ptr<IDevice> device, int tag) {
  auto feature = std::make_shared<Feature>(id, index, std::move(device));
  feature->set_table_flags(false, false, false, tag);
  return feature;
}

TEST(FeatureRegistry, FirstRegistrationWins) {
  const unsigned id = 0x7E01;
  EXPECT_TRUE(registerFeature(id, [](int index, std::weak_ptr<IDevice> d) { return makeTagged(id, index, d, 1); }));
  EXPECT_FALSE(registerFeature(id, [](int index, std::weak_ptr<IDevice> d) { return makeTagged(id, index, d, 2); }));
  EXPECT_EQ(createFeature(id, 1, {})->version(), 1);

  // Core ids are taken by their classes before any test runs.
  EXPECT_FALSE(registerFeature(0x0003, [](int index, std::weak_ptr<IDevice> d) { return makeTagged(3, index, d, 2); }));
  EXPECT_TRUE(implements<IFeature0003FirmwareInfo>(createFeature(0x0003, 1, {})));
}

}  // namespace
}  // namespace devio
