#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/CKavrinDFUDlg.h"
#include "app/CTextTable.h"
#include "tests/support/DialogWindow.h"

namespace {

using namespace std::chrono_literals;
using testsupport::DialogWindow;

// The texts the program shows in this session's language (it runs in the same session).
std::string text(unsigned id, bool secondVariant = false) {
  return CTextTable::LoadText(id, GetThreadLocale() & 0xFFFF, secondVariant);
}

// Waits for the instructions line to read the text of id.
bool waitForInstructions(const DialogWindow& window, unsigned id, std::chrono::milliseconds bound = 120s) {
  return DialogWindow::waitUntil([&] { return window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS) == text(id); }, bound);
}

TEST(KavrinDFUWindow, WithoutAKeyboardShowsTheTemplateAndClosesFromTheCloseBox) {
  DialogWindow window(KZ_SIM_PROGRAM, {L"--no-keyboard"});
  ASSERT_TRUE(window.waitForDialog());
  ASSERT_TRUE(waitForInstructions(window, 1035, 30s)) << window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS);
  // Title and descriptions change only with the first arrival: the placeholders stay.
  EXPECT_EQ(window.title(), "__Kavrin Zephel Update__");
  EXPECT_EQ(window.text(CKavrinDFUDlg::IDC_DESCRIPTION), "__Description__");
  EXPECT_FALSE(window.visible(CKavrinDFUDlg::IDC_PROGRESS));
  EXPECT_FALSE(window.visible(CKavrinDFUDlg::IDC_CLOSE));
  EXPECT_TRUE(window.visible(CKavrinDFUDlg::IDC_RELEASE_NOTES));
  window.closeBox();
  EXPECT_EQ(window.waitForExit(30s), 0u);
}

TEST(KavrinDFUWindow, CurrentFirmwareEndsInStateEightAndTheCloseButtonEndsTheTool) {
  DialogWindow window(KZ_SIM_PROGRAM, {L"--current-firmware"});
  ASSERT_TRUE(window.waitForDialog());
  ASSERT_TRUE(waitForInstructions(window, 1036)) << window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS);
  EXPECT_EQ(window.title(), text(1024));
  EXPECT_EQ(window.text(CKavrinDFUDlg::IDC_DESCRIPTION), text(1025));
  EXPECT_EQ(window.text(CKavrinDFUDlg::IDC_DESCRIPTION2), text(1030));
  EXPECT_EQ(window.text(CKavrinDFUDlg::IDC_NOTES_HEADING), text(1026));
  EXPECT_TRUE(window.visible(CKavrinDFUDlg::IDC_CLOSE));
  EXPECT_EQ(window.text(CKavrinDFUDlg::IDC_CLOSE), text(1033));
  EXPECT_FALSE(window.visible(CKavrinDFUDlg::IDC_PROGRESS));
  window.click(CKavrinDFUDlg::IDC_CLOSE);
  EXPECT_EQ(window.waitForExit(30s), 0u);
}

// The keyboard answers slowly enough that the transfer can be watched: the progress bar moves,
// closing is refused while it runs, and the update ends in state 7.
TEST(KavrinDFUWindow, TheWholeUpdateRefusesToCloseDuringTheTransferAndEndsInStateSeven) {
  DialogWindow window(KZ_SIM_PROGRAM, {L"--latency-us", L"500", L"--replug-delay-ms", L"200"});
  ASSERT_TRUE(window.waitForDialog());
  ASSERT_TRUE(waitForInstructions(window, 1031)) << window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS);
  ASSERT_TRUE(DialogWindow::waitUntil([&] { return window.progressPosition() > 0; }, 60s));
  EXPECT_TRUE(window.visible(CKavrinDFUDlg::IDC_PROGRESS));
  EXPECT_FALSE(window.visible(CKavrinDFUDlg::IDC_CLOSE));

  const unsigned before = window.progressPosition();
  window.closeBox();
  EXPECT_TRUE(window.exists());
  EXPECT_EQ(window.waitForExit(0ms), std::nullopt);
  EXPECT_TRUE(DialogWindow::waitUntil([&] { return window.progressPosition() > before; }, 60s)) << "the transfer stopped";

  ASSERT_TRUE(waitForInstructions(window, 1032)) << window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS);
  EXPECT_TRUE(window.visible(CKavrinDFUDlg::IDC_CLOSE));
  EXPECT_FALSE(window.visible(CKavrinDFUDlg::IDC_PROGRESS));
  window.click(CKavrinDFUDlg::IDC_CLOSE);
  EXPECT_EQ(window.waitForExit(30s), 0u);
}

}  // namespace
