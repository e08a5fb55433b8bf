#include "devio/protocol/Feature1802DeviceReset.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/ScriptedDevice.h"

namespace devio {
namespace {

using testsupport::answer;
using testsupport::ScriptedDevice;

TEST(DeviceReset, SendsFunctionZeroUncached) {
  auto device = std::make_shared<ScriptedDevice>();
  auto feature = std::make_shared<Feature1802DeviceReset>(9, device);
  device->expect({{{0x10, 0xFF, 0x09, 0x0F}, answer(9, 0, 15, {})}});
  LastError::set(Success);
  feature->forceDeviceReset();
  EXPECT_EQ(LastError::get().code, Success);
  ASSERT_EQ(device->sent().size(), 1u);
  EXPECT_FALSE(device->sent()[0].cacheable);
}

// A device that restarts without answering: the outcome is only in LastError.
TEST(DeviceReset, FailureIsLeftInLastError) {
  auto device = std::make_shared<ScriptedDevice>();
  auto feature = std::make_shared<Feature1802DeviceReset>(9, device);
  device->expect({{{0x10, 0xFF, 0x09, 0x0F}, {}, {NoResponse}}});
  feature->forceDeviceReset();
  EXPECT_EQ(LastError::get().code, NoResponse);
  EXPECT_EQ(device->remaining(), 0u);
}

}  // namespace
}  // namespace devio
