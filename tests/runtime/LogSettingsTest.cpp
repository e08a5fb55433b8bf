#include "devio/runtime/LogSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TemporarySettingsStore.h"

namespace devio {
namespace {

const std::string kKey = "SOFTWARE\\Norvale\\devio";

class LogSettingsTest : public testing::Test {
 protected:
  LogSettings read() {
    return LogSettings::read(store_, [this](const char* text) { notices_.emplace_back(text); });
  }

  testsupport::TemporarySettingsStore temporary_;
  const SettingsStore store_ = temporary_.store();
  std::vector<std::string> notices_;
};

TEST_F(LogSettingsTest, MissingKeyEndsTheReadingWithDefaults) {
  const LogSettings settings = read();
  EXPECT_FALSE(settings.logging);
  EXPECT_EQ(settings.level, 3);
  EXPECT_EQ(settings.output, 6u);
  EXPECT_FALSE(settings.tags);
  EXPECT_EQ(notices_, std::vector<std::string>{"Couldn't read SOFTWARE\\Norvale\\devio registry key. Error code = 2\n"});
}

TEST_F(LogSettingsTest, EachMissingValueKeepsItsDefaultWithANotice) {
  ASSERT_TRUE(store_.writeNumber(kKey, "logging", 1));
  const LogSettings settings = read();
  EXPECT_TRUE(settings.logging);
  EXPECT_EQ(settings.level, 3);
  EXPECT_EQ(settings.output, 6u);
  EXPECT_FALSE(settings.tags);
  EXPECT_EQ(notices_,
            (std::vector<std::string>{
                "Couldn't read SOFTWARE\\Norvale\\devio\\logginglevel registry value, using default level. Error code = 2\n",
                "Couldn't read SOFTWARE\\Norvale\\devio\\loggingoutput registry value, using default level. Error code = 2\n",
                "Couldn't read SOFTWARE\\Norvale\\devio\\LogTags registry value. Error code = 2\n"}));
}

TEST_F(LogSettingsTest, ReadsEveryValue) {
  ASSERT_TRUE(store_.writeNumber(kKey, "logging", 7));
  ASSERT_TRUE(store_.writeNumber(kKey, "logginglevel", 1));
  ASSERT_TRUE(store_.writeNumber(kKey, "loggingoutput", 5));
  ASSERT_TRUE(store_.writeString(kKey, "LogTags", "-* +DeviceManager"));
  const LogSettings settings = read();
  EXPECT_TRUE(settings.logging);
  EXPECT_EQ(settings.level, 1);
  EXPECT_EQ(settings.output, 5u);
  EXPECT_EQ(settings.tags, "-* +DeviceManager");
  EXPECT_TRUE(notices_.empty());
}

TEST_F(LogSettingsTest, ValueOfAnotherTypeKeepsTheDefault) {
  ASSERT_TRUE(store_.writeString(kKey, "logging", "1"));
  ASSERT_TRUE(store_.writeString(kKey, "LogTags", std::string(2000, 'x')));
  const LogSettings settings = read();
  EXPECT_FALSE(settings.logging);
  ASSERT_FALSE(notices_.empty());
  EXPECT_TRUE(notices_[0].starts_with("Couldn't read SOFTWARE\\Norvale\\devio\\logging registry value. Error code = "));
  EXPECT_EQ(settings.tags, std::string(1023, 'x'));
}

}  // namespace
}  // namespace devio
