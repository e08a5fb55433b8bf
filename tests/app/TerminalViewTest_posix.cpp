#include "app/terminal/TerminalView.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/CKavrinDFUDlg.h"

namespace {

constexpr int kProgress = CKavrinDFUDlg::IDC_PROGRESS;
constexpr int kInstructions = CKavrinDFUDlg::IDC_INSTRUCTIONS;

class TerminalViewTest : public ::testing::Test {
 protected:
  std::ostringstream out;

  // What the dialog draws on every arrival.
  static void refreshTexts(TerminalView& view) {
    view.setWindowTitle("Update Tool v1");
    view.setControlText(CKavrinDFUDlg::IDC_DESCRIPTION, "This applies an update.");
    view.setControlText(CKavrinDFUDlg::IDC_DESCRIPTION2, "Please wait.");
    view.setControlText(CKavrinDFUDlg::IDC_NOTES_HEADING, "Release Notes");
    view.setControlText(CKavrinDFUDlg::IDC_CLOSE, "Close");
  }
};

TEST_F(TerminalViewTest, PaintsTheHeaderOnceTheTitleIsKnownAndAgainOnlyWhenItChanges) {
  TerminalView view(out, false);
  view.addListLine(CKavrinDFUDlg::IDC_RELEASE_NOTES, "* Fixes noise.");
  view.setBold(kInstructions);
  view.setControlText(kInstructions, "Connect your device.");
  view.paint();  // no title yet: the instruction alone
  view.setControlText(kInstructions, "");
  view.setControlText(kInstructions, "Unplug and replug.");
  refreshTexts(view);  // the texts come after the instruction within one message
  view.paint();
  refreshTexts(view);  // the same texts again
  view.paint();
  view.setControlText(kInstructions, "");
  view.paint();
  view.setControlText(kInstructions, "Unplug and replug.");
  view.setWindowTitle("Update Tool v2");
  view.paint();
  view.messageBox("An error occurred.");
  EXPECT_EQ(out.str(),
            "Connect your device.\n"
            "Update Tool v1\nThis applies an update.\nPlease wait.\nRelease Notes\n* Fixes noise.\n\n"
            "Unplug and replug.\n"
            "Update Tool v2\nThis applies an update.\nPlease wait.\nRelease Notes\n* Fixes noise.\n\n"
            "Unplug and replug.\n"
            "An error occurred.\n");
}

TEST_F(TerminalViewTest, ALogGetsOneProgressLinePerTenthWhileTheBarIsShown) {
  TerminalView view(out, false);
  view.setProgressRange(kProgress, 1000);
  view.setProgressPosition(kProgress, 50);
  view.paint();  // hidden: nothing drawn
  view.showControl(kProgress, true);
  for (std::uint32_t position = 0; position <= 250; position += 16) {
    view.setProgressPosition(kProgress, position);
    view.paint();
  }
  view.setProgressPosition(kProgress, 0);  // a restart shows
  view.paint();
  view.setProgressPosition(kProgress, 5000);  // clamped to the end
  EXPECT_EQ(view.progressPosition(kProgress), 1000u);
  view.showControl(kProgress, false);  // within the same message: the end still shows
  view.paint();
  view.setProgressPosition(kProgress, 500);
  view.paint();
  EXPECT_EQ(out.str(), "Progress: 0 %\nProgress: 10 %\nProgress: 20 %\nProgress: 0 %\nProgress: 100 %\n");
}

TEST_F(TerminalViewTest, ATerminalGetsABoldInstructionAndABarRedrawnInPlaceBelowTheText) {
  TerminalView view(out, true);
  view.setBold(kInstructions);
  view.setProgressRange(kProgress, 100);
  view.showControl(kProgress, true);
  view.paint();
  view.setProgressPosition(kProgress, 50);
  view.paint();
  view.paint();  // unchanged: not drawn again
  view.setControlText(kInstructions, "Updating.");
  view.paint();
  view.note("Working.");
  view.showControl(kProgress, false);
  view.paint();
  const std::string empty = "[" + std::string(40, '-') + "] 0 %";
  const std::string half = "[" + std::string(20, '#') + std::string(20, '-') + "] 50 %";
  EXPECT_EQ(out.str(), "\r" + empty + "\r" + half + "\r\x1b[K\x1b[1mUpdating.\x1b[0m\n\r" + half +
                           "\r\x1b[KWorking.\n\r" + half + "\n");
}

}  // namespace
