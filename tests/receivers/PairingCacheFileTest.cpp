#include "devio/receivers/PairingCacheFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TemporaryDirectory.h"

namespace {

using devio::PairingCacheFile;
using Entry = PairingCacheFile::Entry;

const std::vector<Entry> kEntries = {
    {"\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&00021d7a_pid&b023&col02", 0xB023, "Mouse <M&M>",
     "\\\\?\\usb#radio1", ""},
    {"\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&021d7a_pid&b35b", 0xB35B, "Keyboard \"K\"", "", "blevelo"},
};

TEST(PairingCacheFile, RendersTheDocumentAndReadsItBack) {
  const std::string text = PairingCacheFile::render({{"p&1", 0x6E21, "n", "r", "blepp"}});
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<devices>\n"
            "\t<device path=\"p&amp;1\" pid=\"0x6E21\" name=\"n\" radio=\"r\" interface=\"blepp\"/>\n"
            "</devices>\n\n");
  EXPECT_EQ(PairingCacheFile::parse(PairingCacheFile::render(kEntries)), kEntries);
  EXPECT_TRUE(PairingCacheFile::parse(PairingCacheFile::render({})).empty());
}

TEST(PairingCacheFile, DamagedDocumentsGiveNoEntries) {
  for (const std::string& bad : {std::string(""), std::string("not xml"), std::string("<other><device path=\"p\"/></other>"),
                                 std::string("<devices><device path=\"p\""), std::string("\xEF\xBB\xBF<<devices>")}) {
    EXPECT_TRUE(PairingCacheFile::parse(bad).empty()) << bad;
  }
}

// A file cut off anywhere reads as nothing or as a prefix of what was written, never as more.
TEST(PairingCacheFile, ATruncatedFileGivesAPrefixOfItsEntries) {
  const std::string text = PairingCacheFile::render(kEntries);
  for (std::size_t length = 0; length < text.size(); ++length) {
    const auto entries = PairingCacheFile::parse(text.substr(0, length));
    ASSERT_LE(entries.size(), kEntries.size()) << length;
    EXPECT_TRUE(std::equal(entries.begin(), entries.end(), kEntries.begin())) << length;
  }
}

TEST(PairingCacheFile, MissingAttributesAndUnknownElements) {
  const auto entries = PairingCacheFile::parse(
      "<devices><device pid=\"0x1\"/><radio path=\"x\"/><device path=\"a\"><extra/></device>"
      "<device path=\"b\" pid=\"0xZZ\" name=\"n\"/><device path=\"c\" pid=\"70000\"/><device path=\"d\" pid=\"45091\"/></devices>");
  const std::vector<Entry> expected = {{"a", 0, "", "", ""}, {"b", 0, "n", "", ""}, {"c", 0, "", "", ""}, {"d", 0xB023, "", "", ""}};
  EXPECT_EQ(entries, expected);
}

TEST(PairingCacheFile, AWriteReplacesTheWholeFileAndLeavesNoTemporary) {
  testsupport::TemporaryDirectory dir;
  const std::string file = dir.withSeparator() + PairingCacheFile::kFileName;
  EXPECT_TRUE(PairingCacheFile::read(file).empty());
  {
    std::ofstream damaged(file, std::ios::binary);
    damaged << "<devices><device path=\"old\"/><device path=";
  }
  EXPECT_TRUE(PairingCacheFile::read(file).empty());
  ASSERT_TRUE(PairingCacheFile::write(file, kEntries));
  EXPECT_EQ(PairingCacheFile::read(file), kEntries);
  ASSERT_TRUE(PairingCacheFile::write(file, {kEntries[1]}));
  EXPECT_EQ(PairingCacheFile::read(file), std::vector<Entry>{kEntries[1]});
  EXPECT_EQ(std::vector<std::filesystem::path>(std::filesystem::directory_iterator(dir.path()), {}),
            std::vector<std::filesystem::path>{std::filesystem::path(file)});
}

TEST(PairingCacheFile, AWriteThatCannotCompleteKeepsTheOldFile) {
  testsupport::TemporaryDirectory dir;
  const std::string file = dir.withSeparator() + PairingCacheFile::kFileName;
  ASSERT_TRUE(PairingCacheFile::write(file, kEntries));
  // The temporary's name is taken by a directory: the new document cannot be written.
  std::filesystem::create_directory(file + ".tmp");
  EXPECT_FALSE(PairingCacheFile::write(file, {}));
  EXPECT_EQ(PairingCacheFile::read(file), kEntries);
  EXPECT_FALSE(PairingCacheFile::write(dir.withSeparator() + "missing/" + PairingCacheFile::kFileName, kEntries));
}

}  // namespace
