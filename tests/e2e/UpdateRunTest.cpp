// Whole updates against the simulated keyboard: the version check, the transfer of both
// images, unplugs on the way, the timers and the settings restore.
#include <gtest/gtest.h>

#include "app/CFirmwareImages.h"
#include "sim/VeloFault.h"
#include "tests/e2e/UpdateFixture.h"

namespace e2e {
namespace {

using Keyboard = sim::SimulatedZephelKeyboard;

struct VersionCase {
  const char* version;
  bool secondVariant;
  int state;
};

class VersionCheckTest : public UpdateFixture, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionCheckTest, KeyboardVersionLeadsToState) {
  const auto& row = GetParam();
  auto keyboard = addKeyboard(row.secondVariant ? Keyboard::Variant::Second : Keyboard::Variant::First, row.version);
  keyboard->plug();
  startTool();
  EXPECT_EQ(dlg->state(), row.state);
  EXPECT_EQ(keyboard->armed(), row.state == 3);
  EXPECT_EQ(instructions(), text(row.state == 3 ? 1029 : 1036, row.secondVariant));
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionCheckTest,
                         ::testing::Values(VersionCase{"371.3.11", false, 8}, VersionCase{"371.3.10", false, 3},
                                           VersionCase{"371.2.99", false, 3}, VersionCase{"371.4.0", false, 8},
                                           VersionCase{"371.12.12", true, 8}, VersionCase{"371.12.11", true, 3},
                                           VersionCase{"371.3.9911", false, 8}, VersionCase{"371.3.0011", false, 8},
                                           VersionCase{"371.3.99", false, 8}, VersionCase{"200.3.10", false, 3}));

struct VariantCase {
  Keyboard::Variant variant;
  unsigned blocks;
  const char* newVersion;
};

class FullUpdateTest : public UpdateFixture, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(FullUpdateTest, UpdatesAndKeepsTheKeyboardsSettings) {
  const auto& row = GetParam();
  const bool second = row.variant == Keyboard::Variant::Second;
  auto keyboard = addKeyboard(row.variant);
  auto settings = Keyboard::factorySettings();
  settings.sectors[1].assign(Keyboard::SectorSize, 0xA5);
  settings.activeProfile = 3;
  settings.resolutionIndex = 4;
  settings.ledNvConfigs = {1, 2, 4};
  keyboard->setSettings(settings);

  ASSERT_NO_FATAL_FAILURE(startAndReplug(keyboard));
  // The backup is taken; as far as the restore can tell, the update reset the settings.
  keyboard->setSettings(Keyboard::factorySettings());
  // Unplugging kept state 3 and its instruction until the keyboard came back in update mode.
  const auto& history = host->instructionHistory();
  ASSERT_GE(history.size(), 2u);
  EXPECT_EQ(history[history.size() - 2], text(1029, second));

  ASSERT_TRUE(waitFor([&] { return dlg->state() == 7 && keyboard->restarts() == 1; }));
  const auto image = CFirmwareImages::forVariant(second);
  EXPECT_EQ(dlg->blockCount(), row.blocks);
  EXPECT_EQ(keyboard->dfuStarts(), 1);
  EXPECT_EQ(keyboard->dataPackets(), static_cast<int>(row.blocks - 1));
  const auto functions = keyboard->packetFunctions();
  for (std::size_t i = 0; i < functions.size(); ++i) ASSERT_EQ(functions[i], (i + 1) & 3) << "packet " << i;
  EXPECT_EQ(host->progressPosition(CKavrinDFUDlg::IDC_PROGRESS), image.size() + 3072);
  EXPECT_EQ(instructions(), text(1032, second));
  EXPECT_TRUE(host->visible(CKavrinDFUDlg::IDC_CLOSE));
  EXPECT_FALSE(host->visible(CKavrinDFUDlg::IDC_PROGRESS));
  EXPECT_EQ(keyboard->mode(), Keyboard::Mode::Normal);
  EXPECT_EQ(keyboard->version(), row.newVersion);
  // The restore wrote the backup back, and it was what the keyboard held.
  EXPECT_GT(requestsTo(keyboard, 0x8100), 0u);
  EXPECT_EQ(keyboard->settings(), settings);
  EXPECT_TRUE(host->messageBoxes().empty());
  EXPECT_EQ(dlg->retryCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, FullUpdateTest,
                         ::testing::Values(VariantCase{Keyboard::Variant::First, 2373, "371.3.11"},
                                           VariantCase{Keyboard::Variant::Second, 2381, "371.12.12"}));

TEST_F(UpdateFixture, NothingIsRestoredWhenTheBackupCannotBeRead) {
  auto keyboard = addKeyboard();
  keyboard->plug();
  // Every onboard-profile request of this plug fails: the backup is discarded.
  keyboard->device()->inject(sim::VeloFault::velo20Error(5).times(1000).on(keyboard->device()->featureIndex(0x8100)));
  startTool();
  ASSERT_EQ(dlg->state(), 3);
  EXPECT_EQ(dlg->sectorsRead(), 0);
  EXPECT_FALSE(dlg->lightingBackedUp());
  keyboard->unplug();
  ASSERT_TRUE(waitFor([&] { return !dlg->holdsDevice(); }));
  keyboard->plug();

  ASSERT_TRUE(waitFor([&] { return dlg->state() == 7 && keyboard->restarts() == 1; }));
  EXPECT_EQ(requestsTo(keyboard, 0x8100), 0u);
  EXPECT_EQ(requestsTo(keyboard, 0x1300), 0u);
  EXPECT_EQ(keyboard->settings(), Keyboard::factorySettings());
}

TEST_F(UpdateFixture, UnplugDuringTransferRestartsFromTheFirstBlock) {
  auto keyboard = addKeyboard();
  ASSERT_NO_FATAL_FAILURE(startAndReplug(keyboard));
  ASSERT_NO_FATAL_FAILURE(runUntilBlockSent(40));

  keyboard->unplug();
  ASSERT_TRUE(waitFor([&] { return !dlg->holdsDevice(); }));
  EXPECT_EQ(dlg->state(), 0);
  EXPECT_EQ(instructions(), text(1035));
  EXPECT_FALSE(host->visible(CKavrinDFUDlg::IDC_PROGRESS));
  EXPECT_TRUE(host->timers().empty());

  // The interrupted image left the keyboard in update mode.
  keyboard->plug();
  ASSERT_TRUE(waitFor([&] { return dlg->state() == 4; }));
  EXPECT_EQ(keyboard->dfuStarts(), 2);
  ASSERT_TRUE(waitFor([&] { return dlg->state() == 7 && keyboard->restarts() == 1; }));
  EXPECT_EQ(keyboard->version(), "371.3.11");
}

// Started while the keyboard waits in update mode, the tool sends the image its product id names.
TEST_F(UpdateFixture, UpdateModeKeyboardWithoutChosenImageIsRecovered) {
  auto keyboard = addKeyboard(Keyboard::Variant::Second);
  keyboard->plug();
  startTool();
  ASSERT_EQ(dlg->state(), 3);
  closeTool();
  keyboard->replug();
  ASSERT_EQ(keyboard->mode(), Keyboard::Mode::Update);

  startTool();
  EXPECT_TRUE(dlg->secondVariant());
  ASSERT_TRUE(waitFor([&] { return dlg->state() == 7 && keyboard->restarts() == 1; }));
  EXPECT_EQ(keyboard->version(), "371.12.12");
}

struct TimerCase {
  const char* name;
  bool lostAck;  // else an error status
  std::uint32_t timer;
  unsigned ms;
};

class TransferTimerTest : public UpdateFixture, public ::testing::WithParamInterface<TimerCase> {};

// A lost acknowledgement fires the watchdog, an error status the retry timer; either restarts
// the transfer from the first block when it expires, not a moment earlier.
TEST_P(TransferTimerTest, ExpiryRestartsTheTransfer) {
  const auto& row = GetParam();
  auto keyboard = addKeyboard();
  Keyboard::Faults faults;
  (row.lostAck ? faults.lostAckAtBlock : faults.errorAtBlock) = 5;
  keyboard->setFaults(faults);
  ASSERT_NO_FATAL_FAILURE(startAndReplug(keyboard));
  ASSERT_NO_FATAL_FAILURE(runUntilBlockSent(5));
  host->pump();  // the answer to block 5; nothing follows it
  EXPECT_EQ(dlg->bytesSent(), 6 * CKavrinDFUDlg::BlockSize);
  EXPECT_TRUE(host->timerRunning(row.timer));
  // A lost acknowledgement comes as status 3, which arms nothing.
  EXPECT_EQ(host->timerRunning(CKavrinDFUDlg::RetryTimerId), !row.lostAck);

  host->advance(row.ms - 1);
  EXPECT_EQ(keyboard->dfuStarts(), 1);
  EXPECT_EQ(dlg->retryCount(), 0);
  host->advance(1);
  EXPECT_EQ(dlg->retryCount(), 1);
  EXPECT_EQ(keyboard->dfuStarts(), 2);

  ASSERT_TRUE(waitFor([&] { return dlg->state() == 7 && keyboard->restarts() == 1; }));
  EXPECT_TRUE(host->messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Timers, TransferTimerTest,
                         ::testing::Values(TimerCase{"Watchdog", true, CKavrinDFUDlg::WatchdogTimerId, 5000},
                                           TimerCase{"Retry", false, CKavrinDFUDlg::RetryTimerId, 2000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateFixture, ThirdExpiryReportsTheErrorOnceRestartsTheKeyboardAndQuits) {
  auto keyboard = addKeyboard();
  Keyboard::Faults faults;
  faults.lostAckAtBlock = 2;  // fires once: set again before each restart
  keyboard->setFaults(faults);
  ASSERT_NO_FATAL_FAILURE(startAndReplug(keyboard));
  for (int expiry = 1; expiry <= 3; ++expiry) {
    ASSERT_NO_FATAL_FAILURE(runUntilBlockSent(2));
    host->pump();
    EXPECT_EQ(keyboard->dfuStarts(), expiry);
    EXPECT_TRUE(host->messageBoxes().empty());
    if (expiry < 3) keyboard->setFaults(faults);
    host->advance(CKavrinDFUDlg::WatchdogTimerMs);
    EXPECT_EQ(dlg->retryCount(), expiry);
  }
  EXPECT_EQ(host->messageBoxes(), std::vector<std::string>{text(1034)});
  EXPECT_TRUE(host->quitCalled());
  EXPECT_TRUE(host->timers().empty());
  EXPECT_TRUE(keyboard->waitForRestarts(1));

  // Reached again before the quit takes effect: no second message.
  dlg->OnTimer(CKavrinDFUDlg::RetryTimerId);
  EXPECT_EQ(host->messageBoxes().size(), 1u);
  // From now on arrivals change nothing.
  const int state = dlg->state();
  dlg->onDeviceArrival(nullptr);
  EXPECT_EQ(dlg->state(), state);
}

}  // namespace
}  // namespace e2e
