#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/CKavrinDFUDlg.h"
#include "app/CTextTable.h"
#include "app/win32/CWin32DialogHost.h"
#include "devio/runtime/WideText.h"

namespace {

// Dialog 102 from the resources, created but never run: its controls' rectangles and fonts are
// those the user sees. Every text of every language is measured in its control, word-wrapped,
// with the control's font (bold for the instructions), the longer version number filled in.
class DialogTextFit : public testing::Test {
 protected:
  void SetUp() override {
    dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(CWin32DialogHost::IDD_DIALOG), nullptr,
                                [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; },
                                0);
    ASSERT_NE(dialog, nullptr);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    font.lfWeight = FW_BOLD;
    bold = CreateFontIndirectW(&font);
  }
  void TearDown() override {
    if (dialog) DestroyWindow(dialog);
    if (bold) DeleteObject(bold);
  }

  // Empty when the text fits; otherwise what overflows.
  std::string overflow(int control, const std::string& text, bool isBold) const {
    HWND item = GetDlgItem(dialog, control);
    RECT client;
    GetClientRect(item, &client);
    RECT needed = client;
    HDC dc = GetDC(item);
    HGDIOBJ old = SelectObject(dc, isBold ? bold : reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0)));
    const auto wide = devio::WideText::fromUtf8(text);
    const bool button = control == CKavrinDFUDlg::IDC_CLOSE;
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &needed,
              DT_CALCRECT | DT_NOPREFIX | (button ? DT_SINGLELINE : DT_WORDBREAK));
    SelectObject(dc, old);
    ReleaseDC(item, dc);
    // A push button keeps a few pixels of its face for the frame on each side.
    const LONG width = client.right - (button ? 8 : 0);
    if (needed.right <= width && needed.bottom <= client.bottom) return {};
    return std::to_string(needed.right) + "x" + std::to_string(needed.bottom) + " needed, " + std::to_string(width) +
           "x" + std::to_string(client.bottom) + " there";
  }

  HWND dialog = nullptr;
  HFONT bold = nullptr;
};

TEST_F(DialogTextFit, NoTextOfAnyLanguageIsCutOffByItsControl) {
  struct Place {
    int control;
    unsigned text;
    bool bold;
  };
  const Place places[] = {
      {CKavrinDFUDlg::IDC_DESCRIPTION, 1025, false},  {CKavrinDFUDlg::IDC_DESCRIPTION2, 1030, false},
      {CKavrinDFUDlg::IDC_NOTES_HEADING, 1026, false}, {CKavrinDFUDlg::IDC_CLOSE, 1033, false},
      {CKavrinDFUDlg::IDC_INSTRUCTIONS, 1029, true},  {CKavrinDFUDlg::IDC_INSTRUCTIONS, 1031, true},
      {CKavrinDFUDlg::IDC_INSTRUCTIONS, 1032, true},  {CKavrinDFUDlg::IDC_INSTRUCTIONS, 1035, true},
      {CKavrinDFUDlg::IDC_INSTRUCTIONS, 1036, true},
  };
  std::set<unsigned> languages;
  for (const auto& entry : CTextTable::entries()) languages.insert(entry.languageId);
  ASSERT_EQ(languages.size(), 20u);
  for (const unsigned language : languages) {
    for (const auto& place : places) {
      const auto text = CTextTable::LoadText(place.text, language, true);
      EXPECT_EQ(overflow(place.control, text, place.bold), "")
          << "language " << language << ", text " << place.text << " in control " << place.control << ": " << text;
    }
  }
}

}  // namespace
