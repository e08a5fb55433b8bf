// The workflow's device procedures against hand-made features: version parsing, feature type
// checks, malformed statuses and the backup and restore, including answers the simulated
// keyboard never gives. Whole runs against the simulated keyboard live in tests/e2e.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/CFirmwareImages.h"
#include "app/CKavrinDFUDlg.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/CDevio.h"
#include "tests/app/FakeKeyboard.h"
#include "tests/support/TemporarySettingsStore.h"
#include "tests/support/TestDialogHost.h"

namespace {

using fakekeyboard::FakeDfu;
using fakekeyboard::FakeDfuControl;
using fakekeyboard::FakeFirmwareInfo;
using fakekeyboard::FakeKeyboard;
using fakekeyboard::FakeLeds;
using fakekeyboard::FakeProfiles;

class CKavrinDFUDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { host.attach(dlg); }

  // A normal-mode keyboard of the first variant with every feature the workflow uses.
  std::shared_ptr<FakeKeyboard> normalKeyboard(const std::string& version, int pid = CKavrinDFUDlg::PidNormalFirst) {
    auto keyboard = std::make_shared<FakeKeyboard>(pid);
    keyboard->features[0x00C1] = control;
    keyboard->features[0x0003] = std::make_shared<FakeFirmwareInfo>(version);
    keyboard->features[0x1300] = leds;
    keyboard->features[0x8100] = profiles;
    return keyboard;
  }

  // Old firmware (backup, arm), unplug, the restart into the new firmware (state 5) with the
  // settings it starts with, replug.
  void runToRestore() {
    auto before = normalKeyboard("371.3.10");
    dlg.onDeviceArrival(before);
    ASSERT_EQ(dlg.state(), 3);
    dlg.onDeviceRemoval(before);
    for (auto& sector : profiles->sectors) sector.assign(1024, 0x00);
    profiles->activeProfile = 1;
    profiles->resolution = 0;
    for (auto& led : leds->leds) led.nv = 0;
    dlg.OnMessage(CKavrinDFUDlg::WM_SETSTATE, 5);
    dlg.onDeviceArrival(normalKeyboard("371.3.11"));
    host.pump();
    EXPECT_EQ(dlg.state(), 7);
  }

  testsupport::TemporarySettingsStore store;
  testsupport::TestDialogHost host;
  CKavrinDFUDlg dlg{host, devio::theDevio(), store.store()};
  std::shared_ptr<FakeDfuControl> control = std::make_shared<FakeDfuControl>();
  std::shared_ptr<FakeLeds> leds = std::make_shared<FakeLeds>(
      std::vector<FakeLeds::Led>{{0, 4, 0x11}, {1, 2, 0x22}, {2, 2, 0x33}, {3, 5, 0x44}});
  std::shared_ptr<FakeProfiles> profiles = std::make_shared<FakeProfiles>();
};

struct VersionCase {
  const char* text;
  bool secondVariant;
  int state;  // from state 0
};

class VersionTextTest : public CKavrinDFUDlgTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTextTest, LeadsToState) {
  const auto& row = GetParam();
  dlg.onDeviceArrival(
      normalKeyboard(row.text, row.secondVariant ? CKavrinDFUDlg::PidNormalSecond : CKavrinDFUDlg::PidNormalFirst));
  EXPECT_EQ(dlg.state(), row.state);
  // Only old firmware arms the update mode.
  EXPECT_EQ(control->armed, row.state == 3 ? std::vector<int>{1} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTextTest,
                         ::testing::Values(VersionCase{"371.3.11", false, 8}, VersionCase{"371.3.10", false, 3},
                                           VersionCase{"371.2.99", false, 3}, VersionCase{"371.4.0", false, 8},
                                           VersionCase{"371.12.12", true, 8}, VersionCase{"371.12.11", true, 3},
                                           VersionCase{"371.3.9911", false, 8}, VersionCase{"371.3.0011", false, 8},
                                           VersionCase{"371.3.99", false, 8}, VersionCase{"200.3.10", false, 3},
                                           // Not the second variant's threshold for the first.
                                           VersionCase{"371.3.11", true, 3},
                                           // Numbers are taken modulo 65536: 65539 reads as 3.
                                           VersionCase{"371.65539.11", false, 8},
                                           // Only the leading digits count; none reads as 0.
                                           VersionCase{"371.3x.11b", false, 8}, VersionCase{"371.x.11", false, 3},
                                           VersionCase{"371.3.", false, 3}, VersionCase{"371.3.991", false, 8},
                                           // Fewer than two dots: nothing happens.
                                           VersionCase{"371.3", false, 0}, VersionCase{"371311", false, 0},
                                           VersionCase{"", false, 0}));

TEST_F(CKavrinDFUDlgTest, FeatureOfAnotherTypeIsRefusedWithCastError) {
  auto keyboard = normalKeyboard("371.3.10");
  keyboard->features[0x00C1] = std::make_shared<FakeFirmwareInfo>("371.3.10");
  devio::LastError::set(devio::Success);

  dlg.onDeviceArrival(keyboard);

  const auto error = devio::LastError::get();
  EXPECT_EQ(error.code, devio::GeneralError);
  EXPECT_EQ(error.detail, 0u);
  ASSERT_NE(error.message, nullptr);
  EXPECT_STREQ(error.message, "cannot cast feature to proper type");
  EXPECT_EQ(dlg.state(), 0);
}

TEST_F(CKavrinDFUDlgTest, UpdateModeArrivalWithoutImageLoadsTheVariantsImage) {
  auto keyboard = std::make_shared<FakeKeyboard>(CKavrinDFUDlg::PidUpdateSecond);
  auto dfu = std::make_shared<FakeDfu>();
  keyboard->features[0x00D0] = dfu;

  dlg.onDeviceArrival(keyboard);

  const auto image = CFirmwareImages::forVariant(true);
  EXPECT_EQ(dlg.state(), 4);
  EXPECT_EQ(dlg.imageSize(), image.size());
  EXPECT_EQ(host.progressUpper(CKavrinDFUDlg::IDC_PROGRESS), image.size() + 3072);
  ASSERT_EQ(dfu->sent.size(), 1u);
  EXPECT_EQ(dfu->sent[0], devio::Bytes(image.begin(), image.begin() + 16));
  EXPECT_TRUE(host.timerRunning(CKavrinDFUDlg::WatchdogTimerId));
}

TEST_F(CKavrinDFUDlgTest, UpdateModeArrivalOfTheOtherVariantSendsItsOwnImage) {
  const auto first = normalKeyboard("371.3.10");
  dlg.onDeviceArrival(first);
  ASSERT_EQ(dlg.state(), 3);
  auto keyboard = std::make_shared<FakeKeyboard>(CKavrinDFUDlg::PidUpdateSecond);
  auto dfu = std::make_shared<FakeDfu>();
  keyboard->features[0x00D0] = dfu;
  dlg.onDeviceRemoval(first);

  dlg.onDeviceArrival(keyboard);

  const auto image = CFirmwareImages::forVariant(true);
  ASSERT_EQ(dfu->sent.size(), 1u);
  EXPECT_EQ(dfu->sent[0], devio::Bytes(image.begin(), image.begin() + 16));
}

// An update-mode keyboard whose DFU feature cannot be had is one more failed try, never an endless
// "Do not unplug" with closing refused.
TEST_F(CKavrinDFUDlgTest, UpdateModeWithoutDfuFeatureEndsInTheErrorText) {
  dlg.onDeviceArrival(std::make_shared<FakeKeyboard>(CKavrinDFUDlg::PidUpdateFirst));
  ASSERT_EQ(dlg.state(), 4);
  for (int expiry = 1; expiry <= 3; ++expiry) {
    ASSERT_TRUE(host.timerRunning(CKavrinDFUDlg::RetryTimerId)) << "expiry " << expiry;
    host.advance(CKavrinDFUDlg::RetryTimerMs);
  }
  EXPECT_EQ(dlg.retryCount(), 3);
  EXPECT_EQ(host.messageBoxes(), std::vector<std::string>{dlg.LoadText(1034)});
  EXPECT_TRUE(host.quitCalled());
}

struct StatusCase {
  devio::Bytes payload;
  bool retry;       // the retry timer is armed
  bool nextBlock;   // the next block goes out
};

class StatusPayloadTest : public CKavrinDFUDlgTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusPayloadTest, ActsOnByteFourOnly) {
  auto keyboard = std::make_shared<FakeKeyboard>(CKavrinDFUDlg::PidUpdateFirst);
  auto dfu = std::make_shared<FakeDfu>();
  keyboard->features[0x00D0] = dfu;
  dlg.onDeviceArrival(keyboard);
  ASSERT_EQ(dfu->sent.size(), 1u);
  const auto timersBefore = host.timers();

  dlg.onDfuStatus(0, GetParam().payload);

  EXPECT_EQ(host.timerRunning(CKavrinDFUDlg::RetryTimerId), GetParam().retry);
  EXPECT_EQ(dfu->sent.size(), GetParam().nextBlock ? 2u : 1u);
  if (!GetParam().retry && !GetParam().nextBlock) {
    EXPECT_EQ(host.timers(), timersBefore);
  }
  EXPECT_EQ(dlg.state(), 4);
}

INSTANTIATE_TEST_SUITE_P(Payloads, StatusPayloadTest,
                         ::testing::Values(StatusCase{{}, true, false},                  // no status byte
                                           StatusCase{{0, 0, 0, 0}, true, false},        // one byte short
                                           StatusCase{{0, 0, 0, 0, 3}, false, false},    // busy: nothing
                                           StatusCase{{0, 0, 0, 0, 7}, true, false},     // error status
                                           StatusCase{{0, 0, 0, 0, 1}, false, true}));   // go on

class BackupReadSizeTest : public CKavrinDFUDlgTest, public ::testing::WithParamInterface<std::size_t> {};

// Answers longer than a sector's remainder (even longer than the whole buffer) neither shift
// the next sector's data nor write past the buffer; the restore gives back what was read.
TEST_P(BackupReadSizeTest, RestoreWritesBackEverySectorUnshifted) {
  profiles->chunk = GetParam();
  const devio::Bytes originals[3] = {profiles->sectors[0], profiles->sectors[1], profiles->sectors[2]};
  runToRestore();
  EXPECT_EQ(dlg.sectorsRead(), 3);
  for (int s = 0; s < 3; ++s) EXPECT_EQ(profiles->sectors[s], originals[s]) << "sector " << s;
  EXPECT_EQ(profiles->activeProfile, 2);
  EXPECT_EQ(profiles->resolution, 3);
  EXPECT_EQ(profiles->dataWrites, 3 * 64);
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, BackupReadSizeTest, ::testing::Values(16u, 40u, 1000u, 5000u));

TEST_F(CKavrinDFUDlgTest, LightingRestoreGivesEachLedItsOwnValue) {
  runToRestore();
  // Logo and DPI LEDs only; the cosmetic LED (type 5) is not touched.
  EXPECT_EQ(leds->writes, (std::vector<std::pair<int, int>>{{0, 0x11}, {1, 0x22}, {2, 0x33}}));
}

TEST_F(CKavrinDFUDlgTest, NothingIsRestoredWithoutABackup) {
  leds->failReads = true;  // the lighting backup fails, so the whole backup is discarded
  runToRestore();
  EXPECT_FALSE(dlg.lightingBackedUp());
  EXPECT_EQ(dlg.sectorsRead(), 0);
  EXPECT_TRUE(leds->writes.empty());
  EXPECT_EQ(profiles->dataWrites, 0);
}

struct StoredCopyCase {
  const char* name;
  std::size_t dataSize;
  bool withDpiLighting;
  bool restored;
};

class StoredCopyTest : public CKavrinDFUDlgTest, public ::testing::WithParamInterface<StoredCopyCase> {};

// Without a backup of its own the restore takes a complete stored copy, never a partial one.
TEST_P(StoredCopyTest, RestoresOnlyACompleteCopy) {
  const auto& row = GetParam();
  const auto settings = store.store();
  const std::string key = CKavrinDFUDlg::SettingsKey;
  ASSERT_TRUE(settings.writeBinary(key, "ProfileData", devio::Bytes(row.dataSize, 0x5A)));
  ASSERT_TRUE(settings.writeNumber(key, "ProfileId", 1));
  ASSERT_TRUE(settings.writeNumber(key, "ResIndex", 4));
  ASSERT_TRUE(settings.writeNumber(key, "LogoLighting", 9));
  if (row.withDpiLighting) {
    ASSERT_TRUE(settings.writeNumber(key, "DpiLighting", 9));
  }
  leds->failReads = true;

  runToRestore();

  EXPECT_EQ(profiles->dataWrites, row.restored ? 3 * 64 : 0);
  if (row.restored) {
    for (int s = 0; s < 3; ++s) EXPECT_EQ(profiles->sectors[s], devio::Bytes(1024, 0x5A));
    EXPECT_EQ(profiles->activeProfile, 1);
    EXPECT_EQ(profiles->resolution, 4);
  }
  // The copy's lighting (one value per LED type) stands in for the backup this run did not take.
  using Writes = std::vector<std::pair<int, int>>;
  const Writes expected = row.restored ? Writes{{0, 9}, {1, 9}, {2, 9}} : Writes{};
  EXPECT_EQ(leds->writes, expected);
}

INSTANTIATE_TEST_SUITE_P(Copies, StoredCopyTest,
                         ::testing::Values(StoredCopyCase{"Complete", 3072, true, true},
                                           StoredCopyCase{"ShortData", 3071, true, false},
                                           StoredCopyCase{"LongData", 3073, true, false},
                                           StoredCopyCase{"MissingValue", 3072, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
