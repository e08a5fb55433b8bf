#include "devio/runtime/Host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "devio/protocol/LastError.h"
#include "tests/support/TemporaryDirectory.h"

namespace devio {
namespace {

struct ModuleNameCase {
  const char* path;
  const char* module;
};

class ModuleName : public testing::TestWithParam<ModuleNameCase> {};

TEST_P(ModuleName, IsFileNameUpToFirstDotAtMost19Characters) {
  EXPECT_EQ(Host::moduleNameOf(GetParam().path), GetParam().module);
}

INSTANTIATE_TEST_SUITE_P(Host, ModuleName,
                         testing::Values(ModuleNameCase{"/usr/bin/kavrin-dfu", "kavrin-dfu"},
                                         ModuleNameCase{"C:\\Tools\\KavrinDFU.exe", "KavrinDFU"},
                                         ModuleNameCase{"C:\\a.dir\\prog.test.exe", "prog"},
                                         ModuleNameCase{"/opt/abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrs"},
                                         ModuleNameCase{"plain", "plain"}));

TEST(Host, ModuleNameOfThisProgram) {
  const std::string module = Host::moduleName();
  EXPECT_FALSE(module.empty());
  EXPECT_LE(module.size(), 19u);
  EXPECT_EQ(module.find('.'), std::string::npos);
}

TEST(Host, TemporaryDirectoryEndsWithSeparator) {
  const std::string dir = Host::temporaryDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), Host::pathSeparator());
}

TEST(Host, ThreadIdsDifferAndStay) {
  const unsigned mine = Host::threadId();
  unsigned other = 0;
  std::thread([&] { other = Host::threadId(); }).join();
  EXPECT_NE(mine, other);
  EXPECT_EQ(Host::threadId(), mine);
  EXPECT_NE(Host::processId(), 0u);
}

TEST(Host, ProcessWasCreatedBeforeNow) {
  constexpr std::int64_t year2020 = 132223104000000000LL;  // 2020-01-01 in file time
  EXPECT_GT(Host::processCreationTime(), year2020);
  EXPECT_LE(Host::processCreationTime(), Host::systemTime());
}

TEST(Host, ListsFilesWithTheirTimesAndDeletesThem) {
  testsupport::TemporaryDirectory temporary;
  const std::string dir = temporary.withSeparator() + "logs";
  ASSERT_TRUE(Host::createDirectory(dir));
  ASSERT_TRUE(Host::createDirectory(dir));  // exists already
  const auto stamp = std::filesystem::file_time_type::clock::now();
  for (const auto& [name, days] : {std::pair{"f0", 0}, std::pair{"f3", 3}}) {
    const auto path = std::filesystem::path(dir) / name;
    std::ofstream(path) << "x";
    std::filesystem::last_write_time(path, stamp - std::chrono::hours(24 * days));
  }
  std::filesystem::create_directory(std::filesystem::path(dir) / "subdirectory");

  auto files = Host::listFiles(dir);
  ASSERT_EQ(files.size(), 2u);
  if (files[0].name != "f0") std::swap(files[0], files[1]);
  EXPECT_EQ(files[0].name, "f0");
  EXPECT_EQ(files[1].name, "f3");
  EXPECT_EQ(files[0].lastWriteTime - files[1].lastWriteTime, 3LL * 24 * 3600 * 10000000);

  const std::string f3 = dir + Host::pathSeparator() + "f3";
  EXPECT_TRUE(Host::deleteFile(f3));
  EXPECT_FALSE(Host::deleteFile(f3));
  EXPECT_EQ(LastError::get().detail, 2u);  // not found on every host
  EXPECT_EQ(Host::listFiles(dir).size(), 1u);
}

TEST(Host, AppendsToFiles) {
  testsupport::TemporaryDirectory temporary;
  const std::string path = temporary.withSeparator() + "log.txt";
  for (const char* text : {"one\n", "two\n"}) {
    std::FILE* file = Host::openForAppend(path);
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
  }
  std::ifstream in(temporary.path() / "log.txt");
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "one\ntwo\n");
  EXPECT_EQ(Host::openForAppend(temporary.withSeparator() + "missing" + Host::pathSeparator() + "x"), nullptr);
}

}  // namespace
}  // namespace devio
