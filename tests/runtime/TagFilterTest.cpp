#include "devio/runtime/TagFilter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace devio {
namespace {

class TagFilterTest : public testing::Test {
 protected:
  TagFilter make(std::optional<std::string> specs) {
    return TagFilter(std::move(specs), [this](const char* text) { debugger_.emplace_back(text); });
  }
  std::vector<std::string> debugger_;
};

TEST_F(TagFilterTest, WithoutSpecsEverythingPasses) {
  TagFilter filter = make(std::nullopt);
  EXPECT_TRUE(filter.admits("DeviceManager", "DeviceManager"));
  EXPECT_TRUE(filter.admits("Device", "Device"));
  EXPECT_TRUE(filter.admits("", ""));
  // A dash tag does not hide a tag argument seen for the first time.
  EXPECT_TRUE(filter.admits("api", "Timer"));
}

TEST_F(TagFilterTest, OnlyAddedTagArgumentsPassAfterMinusStar) {
  TagFilter filter = make("-* +DeviceManager");
  EXPECT_TRUE(filter.admits("DeviceManager", "DeviceManager"));
  EXPECT_FALSE(filter.admits("Device", "Device"));
  // The filter looks at the tag argument, whatever the dash tag.
  EXPECT_TRUE(filter.admits("api", "DeviceManager"));
  EXPECT_FALSE(filter.admits("DeviceManager", "Devio"));
  // An empty tag is not filtered.
  EXPECT_TRUE(filter.admits("", "Devio"));
}

TEST_F(TagFilterTest, MinusRemovesOneTagAndUnknownSpecsAreIgnored) {
  TagFilter filter = make("-Device ~junk + -");
  EXPECT_TRUE(filter.admits("DeviceManager", "DeviceManager"));
  EXPECT_FALSE(filter.admits("Device", "Device"));
  // Every new tag rebuilds the filter from all known tags, so the tag list applies to it too.
  EXPECT_TRUE(filter.admits("Timer", "Timer"));
  EXPECT_FALSE(filter.admits("Device", "Device"));
}

TEST_F(TagFilterTest, EachRebuildIsWrittenToTheDebugger) {
  TagFilter filter = make("-* +Devio");
  filter.admits("Devio", "Devio");
  filter.admits("Devio", "Devio");  // known: no rebuild
  filter.admits("Device", "Device");
  EXPECT_EQ(debugger_, (std::vector<std::string>{
                           "Log tag: Devio\n", "-------------\n", "Log spec: -*\n", "Log spec: +Devio\n",
                           "Filtered log tag: Devio\n", "-------------\n",
                           "Log tag: Device\n", "Log tag: Devio\n", "-------------\n", "Log spec: -*\n",
                           "Log spec: +Devio\n", "Filtered log tag: Devio\n", "-------------\n"}));
}

TEST_F(TagFilterTest, DisabledFilterPassesEverything) {
  TagFilter filter = make("-*");
  EXPECT_FALSE(filter.admits("Devio", "Devio"));
  filter.disable();
  EXPECT_TRUE(filter.admits("Devio", "Devio"));
  EXPECT_TRUE(filter.admits("Other", "Other"));
}

// The debugger output may be slow (a debugger attached): a thread writing a rebuild there must not
// hold up messages whose tags are known.
TEST_F(TagFilterTest, KnownTagsPassWhileAnotherThreadRebuilds) {
  std::promise<void> rebuilding, release;
  std::shared_future<void> released = release.get_future().share();
  bool blocking = false;
  TagFilter filter("-* +Device", [&](const char* text) {
    if (blocking && std::string(text) == "Log tag: Device\n") {
      blocking = false;
      rebuilding.set_value();
      released.wait();
    }
  });
  ASSERT_TRUE(filter.admits("Device", "Device"));
  blocking = true;
  std::thread learner([&] { filter.admits("Timer", "Timer"); });
  rebuilding.get_future().wait();

  auto known = std::async(std::launch::async, [&] { return filter.admits("Device", "Device"); });
  // The bound matters only when the known tag waits for the rebuild.
  const bool passed = known.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  release.set_value();
  learner.join();
  EXPECT_TRUE(passed);
  EXPECT_TRUE(known.get());
  EXPECT_FALSE(filter.admits("Timer", "Timer"));
}

}  // namespace
}  // namespace devio
