#include "devio/runtime/SettingsStore.h"

#include <gtest/gtest.h>

#include <thread>

#include "devio/protocol/LastError.h"
#include "tests/support/TemporarySettingsStore.h"

namespace devio {
namespace {

constexpr std::uint32_t kNotFound = 2;  // the host's "not found" on every host
const std::string kKey = "SOFTWARE\\Norvale\\devio";

class SettingsStoreTest : public testing::Test {
 protected:
  static void expectFailure(std::uint32_t detail) {
    EXPECT_EQ(LastError::get().code, GeneralError);
    EXPECT_EQ(LastError::get().detail, detail);
  }

  testsupport::TemporarySettingsStore temporary_;
  const SettingsStore store_ = temporary_.store();
};

TEST_F(SettingsStoreTest, EachTypeRoundTrips) {
  Bytes profile(3072);
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = Byte(i * 7);
  const std::string text = "C:\\Program Files\\Vantrel\\Vantrel.exe\t100%\nline two \xC3\xA9";

  ASSERT_TRUE(store_.writeNumber(kKey, "logging", 0xFEDCBA98));
  ASSERT_TRUE(store_.writeString(kKey, "VantrelPath", text));
  ASSERT_TRUE(store_.writeString(kKey, "Empty", ""));
  ASSERT_TRUE(store_.writeBinary(kKey, "ProfileData", profile));

  EXPECT_EQ(store_.readNumber(kKey, "logging"), 0xFEDCBA98u);
  EXPECT_EQ(store_.readString(kKey, "VantrelPath"), text);
  EXPECT_EQ(store_.readString(kKey, "Empty"), "");
  EXPECT_EQ(store_.readBinary(kKey, "ProfileData"), profile);

  // A write replaces the value, of whatever type it was.
  ASSERT_TRUE(store_.writeString(kKey, "logging", "now text"));
  EXPECT_EQ(store_.readString(kKey, "logging"), "now text");
  EXPECT_FALSE(store_.readNumber(kKey, "logging"));
  EXPECT_EQ(LastError::get().code, GeneralError);
  EXPECT_NE(LastError::get().detail, 0u);
  EXPECT_NE(LastError::get().detail, kNotFound);
}

TEST_F(SettingsStoreTest, MissingKeyOrValueFailsWithNotFound) {
  EXPECT_FALSE(store_.openKey(kKey));
  expectFailure(kNotFound);
  EXPECT_FALSE(store_.readNumber(kKey, "logging"));
  expectFailure(kNotFound);

  ASSERT_TRUE(store_.createKey(kKey));
  EXPECT_TRUE(store_.openKey(kKey));
  EXPECT_FALSE(store_.readString(kKey, "LogTags"));
  expectFailure(kNotFound);
  EXPECT_FALSE(store_.readBinary(kKey, "ProfileData"));
  expectFailure(kNotFound);
  EXPECT_FALSE(store_.deleteValue(kKey, "LogTags"));
  expectFailure(kNotFound);
  EXPECT_FALSE(store_.deleteTree(kKey + "\\missing"));
  expectFailure(kNotFound);
}

TEST_F(SettingsStoreTest, NamesIgnoreCase) {
  ASSERT_TRUE(store_.writeNumber(kKey, "LoggingLevel", 4));
  EXPECT_TRUE(store_.openKey("software\\NORVALE\\Devio"));
  EXPECT_EQ(store_.readNumber("software\\norvale\\DEVIO", "logginglevel"), 4u);

  // The same value under another spelling: replaced, not added.
  ASSERT_TRUE(store_.writeNumber("Software\\Norvale\\devio", "LOGGINGLEVEL", 1));
  EXPECT_EQ(store_.readNumber(kKey, "LoggingLevel"), 1u);
  ASSERT_TRUE(store_.deleteValue(kKey, "loggingLevel"));
  EXPECT_FALSE(store_.readNumber(kKey, "LOGGINGLEVEL"));
}

TEST_F(SettingsStoreTest, KeysFormATree) {
  ASSERT_TRUE(store_.createKey(kKey + "\\a\\b"));
  EXPECT_TRUE(store_.openKey(kKey));
  ASSERT_TRUE(store_.writeNumber(kKey + "\\a\\b", "x", 1));
  ASSERT_TRUE(store_.writeNumber(kKey, "y", 2));

  ASSERT_TRUE(store_.deleteTree(kKey + "\\a"));
  EXPECT_FALSE(store_.openKey(kKey + "\\a\\b"));
  EXPECT_FALSE(store_.openKey(kKey + "\\a"));
  EXPECT_EQ(store_.readNumber(kKey, "y"), 2u);
}

TEST_F(SettingsStoreTest, TwoStoreObjectsSeeEachOthersWrites) {
  const SettingsStore other = temporary_.store();
  ASSERT_TRUE(store_.writeString(kKey, "LogTags", "-* +DeviceManager"));
  EXPECT_EQ(other.readString(kKey, "LogTags"), "-* +DeviceManager");
  ASSERT_TRUE(other.writeNumber(kKey, "logging", 1));
  EXPECT_EQ(store_.readNumber(kKey, "logging"), 1u);
  EXPECT_EQ(store_.readString(kKey, "LogTags"), "-* +DeviceManager");
  ASSERT_TRUE(other.deleteTree(kKey));
  EXPECT_FALSE(store_.openKey(kKey));
}

// Writers on two threads, each with its own store object: no write is lost.
TEST_F(SettingsStoreTest, ConcurrentWritersLoseNothing) {
  constexpr int kValues = 20;
  const auto writer = [this](const std::string& prefix) {
    const SettingsStore own = temporary_.store();
    for (int i = 0; i < kValues; ++i) own.writeNumber(kKey, prefix + std::to_string(i), std::uint32_t(i));
  };
  std::thread first(writer, "first"), second(writer, "second");
  first.join();
  second.join();
  for (int i = 0; i < kValues; ++i) {
    EXPECT_EQ(store_.readNumber(kKey, "first" + std::to_string(i)), std::uint32_t(i));
    EXPECT_EQ(store_.readNumber(kKey, "second" + std::to_string(i)), std::uint32_t(i));
  }
}

}  // namespace
}  // namespace devio
