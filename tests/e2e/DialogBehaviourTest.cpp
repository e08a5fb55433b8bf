// What the dialog shows and allows around the update: start-up without a keyboard, texts,
// a second keyboard, closing and the Close button, the language of the texts.
#include <gtest/gtest.h>

#include "tests/e2e/UpdateFixture.h"

namespace e2e {
namespace {

using Keyboard = sim::SimulatedZephelKeyboard;

TEST_F(UpdateFixture, StartingWithoutKeyboardAsksToConnectIt) {
  startTool();
  EXPECT_EQ(dlg->state(), 0);
  EXPECT_EQ(instructions(), "Please connect your device to continue.");
  EXPECT_TRUE(host->bold(CKavrinDFUDlg::IDC_INSTRUCTIONS));
  EXPECT_EQ(host->listLines(CKavrinDFUDlg::IDC_RELEASE_NOTES), std::vector<std::string>{"* " + text(1027)});
  EXPECT_FALSE(host->visible(CKavrinDFUDlg::IDC_PROGRESS));
  EXPECT_FALSE(host->visible(CKavrinDFUDlg::IDC_CLOSE));
  // Title and static texts wait for the first arrival.
  EXPECT_EQ(host->windowTitle(), "");
  EXPECT_EQ(host->controlText(CKavrinDFUDlg::IDC_DESCRIPTION), "");
}

TEST_F(UpdateFixture, ArrivalsRefreshTheTexts) {
  startTool();
  dlg->onDeviceArrival(nullptr);  // even an empty device
  EXPECT_EQ(host->windowTitle(), text(1024));
  EXPECT_EQ(dlg->state(), 0);

  auto keyboard = addKeyboard(Keyboard::Variant::Second, "371.12.12");
  keyboard->plug();
  ASSERT_TRUE(waitFor([&] { return dlg->holdsDevice(); }));
  // The variant's version is filled in.
  EXPECT_EQ(host->windowTitle(), text(1024, true));
  EXPECT_EQ(host->controlText(CKavrinDFUDlg::IDC_DESCRIPTION), text(1025, true));
  EXPECT_EQ(host->controlText(CKavrinDFUDlg::IDC_DESCRIPTION2), text(1030, true));
  EXPECT_EQ(host->controlText(CKavrinDFUDlg::IDC_NOTES_HEADING), text(1026, true));
  EXPECT_EQ(host->controlText(CKavrinDFUDlg::IDC_CLOSE), text(1033, true));
  EXPECT_EQ(dlg->state(), 8);
}

TEST_F(UpdateFixture, SecondKeyboardIsIgnored) {
  auto first = addKeyboard();
  first->plug();
  startTool();
  ASSERT_EQ(dlg->state(), 3);
  auto second = addKeyboard(Keyboard::Variant::Second);
  second->plug();
  ASSERT_TRUE(waitFor([&] { return host->queuedMessages() == 0 && second->device() != nullptr; }));
  host->pump();
  EXPECT_EQ(dlg->state(), 3);
  EXPECT_FALSE(dlg->secondVariant());
  EXPECT_TRUE(first->armed());
  EXPECT_FALSE(second->armed());
}

struct CloseCase {
  int state;
  bool keyboardHeld;
  bool closes;
};

class CloseTest : public UpdateFixture, public ::testing::WithParamInterface<CloseCase> {};

// While a keyboard is held, states 1 to 6 refuse closing; any other state, or no keyboard, allows it.
TEST_P(CloseTest, ClosesOnlyWhenAllowed) {
  const auto& row = GetParam();
  auto keyboard = addKeyboard(Keyboard::Variant::First, "371.3.11");
  if (row.keyboardHeld) keyboard->plug();
  startTool();
  ASSERT_EQ(dlg->holdsDevice(), row.keyboardHeld);
  dlg->OnMessage(CKavrinDFUDlg::WM_SETSTATE, static_cast<std::uintptr_t>(row.state));
  ASSERT_EQ(dlg->state(), row.state);

  dlg->OnClose();
  EXPECT_EQ(host->dialogEnded(), row.closes);
}

INSTANTIATE_TEST_SUITE_P(States, CloseTest,
                         ::testing::Values(CloseCase{0, true, true}, CloseCase{1, true, false}, CloseCase{3, true, false},
                                           CloseCase{5, true, false}, CloseCase{7, true, true},
                                           CloseCase{8, true, true}, CloseCase{9, true, true},
                                           CloseCase{1, false, true}, CloseCase{5, false, true}));

class CloseButtonTest : public UpdateFixture, public ::testing::WithParamInterface<int> {};

TEST_P(CloseButtonTest, ShownOnlyWhenFinished) {
  startTool();
  dlg->OnMessage(CKavrinDFUDlg::WM_SETSTATE, static_cast<std::uintptr_t>(GetParam()));
  EXPECT_EQ(host->visible(CKavrinDFUDlg::IDC_CLOSE), GetParam() == 7 || GetParam() == 8);
}

INSTANTIATE_TEST_SUITE_P(States, CloseButtonTest, ::testing::Values(0, 1, 3, 4, 5, 7, 8, 9));

struct LanguageCase {
  unsigned languageId;
  unsigned table;
};

class LanguageTest : public UpdateFixture, public ::testing::WithParamInterface<LanguageCase> {};

// The host's language picks the table; languages without one fall back to English.
TEST_P(LanguageTest, TextsComeFromTheLanguagesTable) {
  startTool(GetParam().languageId);
  const auto expected = CTextTable::find(GetParam().table, 1035);
  ASSERT_TRUE(expected.has_value());
  EXPECT_EQ(instructions(), *expected);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest,
                         ::testing::Values(LanguageCase{1033, 9}, LanguageCase{1031, 1031}, LanguageCase{2058, 9},
                                           LanguageCase{1046, 9}));

TEST(LanguageTables, GermanDiffersFromEnglish) {
  EXPECT_NE(CTextTable::find(1031, 1035), CTextTable::find(9, 1035));
}

}  // namespace
}  // namespace e2e
