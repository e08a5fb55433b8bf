#include "app/terminal/KeyboardFaults.h"
#include "app/terminal/TerminalOptions.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

std::variant<TerminalOptions, std::string> parse(std::vector<std::string_view> args) {
  return TerminalOptions::parse(args);
}

TEST(TerminalOptionsTest, DefaultsWaitForARealKeyboardInTheUsersLanguage) {
  const auto parsed = parse({});
  ASSERT_TRUE(std::holds_alternative<TerminalOptions>(parsed));
  const auto& options = std::get<TerminalOptions>(parsed);
  EXPECT_FALSE(options.simulate);
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.variant, 1);
  EXPECT_TRUE(options.firmwareVersion.empty());
  EXPECT_TRUE(options.fault.empty());
  EXPECT_FALSE(options.languageId.has_value());
  EXPECT_EQ(options.replugDelayMs, 1000u);
  EXPECT_EQ(options.keyboardWaitMs, 10000u);
}

TEST(TerminalOptionsTest, EveryOptionIsTaken) {
  const auto parsed = parse({"--simulate", "--variant", "2", "--firmware-version", "371.12.12", "--fault", "unplug",
                             "--lang", "1031", "--replug-delay", "0", "--keyboard-wait", "250", "--help"});
  ASSERT_TRUE(std::holds_alternative<TerminalOptions>(parsed)) << std::get<std::string>(parsed);
  const auto& options = std::get<TerminalOptions>(parsed);
  EXPECT_TRUE(options.simulate);
  EXPECT_TRUE(options.help);
  EXPECT_EQ(options.variant, 2);
  EXPECT_EQ(options.firmwareVersion, "371.12.12");
  EXPECT_EQ(options.fault, "unplug");
  EXPECT_EQ(options.languageId, 1031u);
  EXPECT_EQ(options.replugDelayMs, 0u);
  EXPECT_EQ(options.keyboardWaitMs, 250u);
}

struct BadCase {
  std::vector<std::string_view> args;
  const char* error;
};

class TerminalOptionsBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(TerminalOptionsBadTest, NamesTheFirstBadArgument) {
  const auto parsed = parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
  EXPECT_EQ(std::get<std::string>(parsed), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalOptionsBadTest,
    ::testing::Values(BadCase{{"--frobnicate"}, "unknown option --frobnicate"},
                      BadCase{{"--variant"}, "option --variant needs a value"},
                      BadCase{{"--variant", "3"}, "invalid value for --variant: 3"},
                      BadCase{{"--variant", "1x"}, "invalid value for --variant: 1x"},
                      BadCase{{"--fault", "gremlins"}, "invalid value for --fault: gremlins"},
                      BadCase{{"--lang", "0"}, "invalid value for --lang: 0"},
                      BadCase{{"--lang", "70000"}, "invalid value for --lang: 70000"},
                      BadCase{{"--replug-delay", "-1"}, "invalid value for --replug-delay: -1"},
                      BadCase{{"--firmware-version", ""}, "invalid value for --firmware-version: "},
                      BadCase{{"--simulate", "--keyboard-wait", "soon"}, "invalid value for --keyboard-wait: soon"}));

TEST(TerminalOptionsTest, TheUsageListsEveryFault) {
  const std::string usage = TerminalOptions::usage();
  for (const KeyboardFaults::Named& fault : KeyboardFaults::all()) {
    EXPECT_NE(usage.find(std::string(fault.name) + ": " + std::string(fault.description)), std::string::npos)
        << fault.name;
  }
}

}  // namespace
