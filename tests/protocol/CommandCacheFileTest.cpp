#include "devio/protocol/CommandCacheFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace devio {
namespace {

TEST(CommandCacheFile, FileNameFromProductIdAndPathHash) {
  EXPECT_EQ(CommandCacheFile::hashPath("abc"), 0x1A47E90Bu);
  EXPECT_EQ(CommandCacheFile::fileName(0x7331, "abc"), "7331_1A47E90B.xml");
  EXPECT_EQ(CommandCacheFile::hashPath(""), 0x811C9DC5u);
  EXPECT_EQ(CommandCacheFile::fileName(0x0A, ""), "A_811C9DC5.xml");  // no leading zeros
}

TEST(CommandCacheFile, HexCoding) {
  EXPECT_EQ(CommandCacheFile::toHex({0x10, 0xFF, 0x0A, 0x00}), "10FF0A00");
  EXPECT_EQ(CommandCacheFile::fromHex("10ff0A00"), (Bytes{0x10, 0xFF, 0x0A, 0x00}));
  EXPECT_EQ(CommandCacheFile::fromHex("ABCDE"), (Bytes{0xAB, 0xCD}));  // trailing digit ignored
  EXPECT_EQ(CommandCacheFile::fromHex("AB-xCD"), (Bytes{0xAB, 0xCD}));  // "-x" pair skipped
  EXPECT_TRUE(CommandCacheFile::fromHex("").empty());
}

TEST(CommandCacheFile, RendersDeclarationAttributesAndSortedEntries) {
  std::map<Bytes, Bytes> entries{{{0x10, 0xFF, 0x01, 0x0A}, {0x11, 0xFF, 0x01, 0x0A, 0x05}},
                                 {{0x10, 0xFF, 0x00, 0x1A}, {0x11, 0xFF, 0x00, 0x1A, 0x04}}};
  const std::string text = CommandCacheFile::render("0U1 0207002512AB", "a&b<c", entries);
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<cache fw=\"0U1 0207002512AB\" path=\"a&amp;b&lt;c\">\n"
            "\t<command cmd=\"10FF001A\" rsp=\"11FF001A04\"/>\n"
            "\t<command cmd=\"10FF010A\" rsp=\"11FF010A05\"/>\n"
            "</cache>\n\n");
  const CommandCacheFile::Contents back = CommandCacheFile::parse(text);
  EXPECT_TRUE(back.hasCache);
  EXPECT_EQ(back.fw, "0U1 0207002512AB");
  EXPECT_EQ(CommandCacheFile::parse(CommandCacheFile::render("a\"b'c", "p", {})).fw, "a\"b'c");
  ASSERT_EQ(back.entries.size(), 2u);
  EXPECT_EQ(back.entries[0].first, (Bytes{0x10, 0xFF, 0x00, 0x1A}));
  EXPECT_EQ(back.entries[1].second, (Bytes{0x11, 0xFF, 0x01, 0x0A, 0x05}));
}

TEST(CommandCacheFile, DamagedDocumentsReadAsNoCache) {
  const std::string good = CommandCacheFile::render("fw", "p", {{{1, 2}, {3, 4}}});
  for (const std::string& bad : {std::string(""), std::string("not xml at all"), good.substr(0, good.size() / 2),
                                 std::string("<other/>"), std::string("<cache fw=\"x\"><command cmd=\"01\"")}) {
    EXPECT_FALSE(CommandCacheFile::parse(bad).hasCache) << bad;
  }
}

TEST(CommandCacheFile, MissingAttributesReadAsEmpty) {
  const auto contents = CommandCacheFile::parse("<cache><command rsp=\"0102\"/><command/></cache>");
  EXPECT_TRUE(contents.hasCache);
  EXPECT_EQ(contents.fw, "");
  ASSERT_EQ(contents.entries.size(), 2u);
  EXPECT_TRUE(contents.entries[0].first.empty());
  EXPECT_EQ(contents.entries[0].second, (Bytes{1, 2}));
  EXPECT_TRUE(contents.entries[1].second.empty());
}

TEST(CommandCacheFile, WritesAndReadsFiles) {
  const auto dir = std::filesystem::temp_directory_path() / ("cachefile_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "6E21_1.xml").string();
  EXPECT_FALSE(CommandCacheFile::read(file).has_value());

  ASSERT_TRUE(CommandCacheFile::write(file, "fw1", "path", {{{0x10, 0xFF}, {0x11}}}));
  ASSERT_TRUE(CommandCacheFile::write(file, "fw2", "path", {}));  // replaces the whole file
  auto contents = CommandCacheFile::read(file);
  ASSERT_TRUE(contents.has_value());
  EXPECT_EQ(contents->fw, "fw2");
  EXPECT_TRUE(contents->entries.empty());
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));

  EXPECT_FALSE(CommandCacheFile::write((dir / "missing" / "x.xml").string(), "fw", "p", {}));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace devio
