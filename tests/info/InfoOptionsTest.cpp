#include "info/InfoOptions.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

std::variant<InfoOptions, std::string> parse(std::vector<std::string_view> args) { return InfoOptions::parse(args); }

TEST(InfoOptionsTest, EveryOptionIsTaken) {
  const auto parsed = parse({"--simulate", "--json", "--wait", "0", "--help"});
  ASSERT_TRUE(std::holds_alternative<InfoOptions>(parsed));
  const auto& options = std::get<InfoOptions>(parsed);
  EXPECT_TRUE(options.simulate);
  EXPECT_TRUE(options.json);
  EXPECT_TRUE(options.help);
  EXPECT_EQ(options.waitMs, 0u);
}

class InfoOptionsRefused : public testing::TestWithParam<std::vector<std::string_view>> {};

TEST_P(InfoOptionsRefused, WithAReason) {
  const auto parsed = parse(GetParam());
  ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
  EXPECT_FALSE(std::get<std::string>(parsed).empty());
}

INSTANTIATE_TEST_SUITE_P(BadCommandLines, InfoOptionsRefused,
                         testing::Values(std::vector<std::string_view>{"--wait"},
                                         std::vector<std::string_view>{"--wait", "12x"},
                                         std::vector<std::string_view>{"--wait", "-1"},
                                         std::vector<std::string_view>{"--wait", ""},
                                         std::vector<std::string_view>{"--simulate", "extra"}));

}  // namespace
