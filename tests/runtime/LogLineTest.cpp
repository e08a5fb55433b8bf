#include "devio/runtime/LogLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace devio {
namespace {

struct ParseCase {
  const char* function;
  const char* message;
  const char* shortFunction;
  const char* dashTag;
  const char* text;
};

class LogLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(LogLineParse, SplitsFunctionDashTagAndText) {
  const ParseCase& c = GetParam();
  const LogLine line = LogLine::parse(c.function, c.message);
  EXPECT_EQ(line.shortFunction, c.shortFunction);
  EXPECT_EQ(line.dashTag, c.dashTag);
  EXPECT_EQ(line.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    LogLine, LogLineParse,
    testing::Values(
        ParseCase{"devio::DeviceManager::addBus", "DeviceManager::addBus enter", "DeviceManager::addBus", "", "enter"},
        ParseCase{"devio::DeviceManager::addBus", "addBus enter", "DeviceManager::addBus", "", "enter"},
        ParseCase{"devio::DeviceManager::devices", "-api- enter", "DeviceManager::devices", "api", "enter"},
        ParseCase{"devio::DeviceManager::devices", "-api- DeviceManager::devices exit", "DeviceManager::devices", "api",
                  "exit"},
        ParseCase{"bool devio::DeviceManager::addBus(std::shared_ptr<IHardwareBus> (*)(int))", "x",
                  "DeviceManager::addBus", "", "x"},
        ParseCase{"static devio::Host* devio::Host::get()", "y", "Host::get", "", "y"},
        ParseCase{"devio::CDevio::getimpl", "CDevio::getimpl retuning nullptr due to shutdown", "CDevio::getimpl", "",
                  "retuning nullptr due to shutdown"},
        ParseCase{"devio::Device::load_feature", "Device::load_feature(0x00d0)", "Device::load_feature", "",
                  "(0x00d0)"},
        // A repetition counts only up to the end of a name.
        ParseCase{"devio::Device::init", "Device::initDevice enter", "Device::init", "", "Device::initDevice enter"},
        ParseCase{"xAssert", "file.cpp(12): ASSERT FAILURE! Expression: x\n", "xAssert", "",
                  "file.cpp(12): ASSERT FAILURE! Expression: x"},
        // Not dash tags: no closing dash before a space, two words, nothing between the dashes.
        ParseCase{"f", "-bt Error", "f", "", "-bt Error"}, ParseCase{"f", "-two words- x", "f", "", "-two words- x"},
        ParseCase{"f", "----------", "f", "", "----------"}, ParseCase{"f", "-api-", "f", "", "-api-"}));

TEST(LogLine, LevelNames) {
  const std::vector<std::string> names = {"ERROR", "WARNING", "INFO", "DEBUG", "VERBOSE", "VERBOSE"};
  for (int level = 0; level < 6; ++level) EXPECT_EQ(LogLine::levelName(level), names[std::size_t(level)]);
}

TEST(LogLine, TextLines) {
  LogLine::Buffer buffer;
  EXPECT_EQ(LogLine::parse("devio::DeviceManager::devices", "-api- enter").textLine(buffer, 2),
            "INFO - DeviceManager::devices -api- enter\n");
  EXPECT_EQ(LogLine::parse("devio::NamedMutex::init", "NamedMutex::init(NorvaleCorvane)").textLine(buffer, 7),
            "VERBOSE - NamedMutex::init (NorvaleCorvane)\n");
}

std::vector<std::string> fileLines(const LogLine& line, const LogLine::FileColumns& columns) {
  std::vector<std::string> lines;
  LogLine::Buffer buffer;
  line.fileLines(buffer, columns, [&](std::string_view text) { lines.emplace_back(text); });
  return lines;
}

TEST(LogLine, FileLinesCarryEveryColumn) {
  const LogLine::FileColumns columns{2.5, 133000000000000000LL, 4321, 77, "KavrinDFU", 2, "DeviceManager"};
  const std::string prefix = "2.500000\t133000000000000000\t4321\t<00077>.devio.KavrinDFU\t2\t";
  EXPECT_EQ(fileLines(LogLine::parse("devio::DeviceManager::devices", "-api- enter"), columns),
            std::vector<std::string>{prefix + "-api-" + std::string(15, ' ') + "\tDeviceManager::devices enter\n"});
  const std::string tagColumn = "-DeviceManager-" + std::string(5, ' ');
  EXPECT_EQ(fileLines(LogLine::parse("devio::DeviceManager::addBus", "first\r\nsecond\n"), columns),
            (std::vector<std::string>{prefix + tagColumn + "\tDeviceManager::addBus first\n",
                                      prefix + tagColumn + "\t> second\n"}));
}

TEST(LogLine, LinesNearTheLimitAreCutAndStillEndTheLine) {
  const std::string message(LogLine::kMaxLine, 'x');
  const LogLine line = LogLine::parse("devio::DeviceManager::addBus", message);
  LogLine::Buffer buffer;
  const std::string_view text = line.textLine(buffer, 0);
  EXPECT_EQ(text.size(), LogLine::kMaxLine);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_TRUE(text.starts_with("ERROR - DeviceManager::addBus xxx"));

  const auto lines = fileLines(line, {0, 0, 1, 1, "m", 0, "t"});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), LogLine::kMaxLine);
  EXPECT_EQ(lines[0].back(), '\n');
}

}  // namespace
}  // namespace devio
