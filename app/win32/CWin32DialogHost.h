#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "app/IDialogHost.h"
#include "app/win32/CCompanion.h"

class CKavrinDFUDlg;

// The update workflow's window on Windows: modal dialog 102 of the program's resources. It
// gives the window its icons, the product picture and the bold instructions font, runs the
// companion steps at start-up and at an allowed close, and hands the workflow its posted
// messages, timers and clicks.
//
// Threads: postMessage from any thread; everything else on the thread that calls run().
class CWin32DialogHost final : public IDialogHost {
 public:
  static constexpr int IDD_DIALOG = 102;
  static constexpr int IDI_WINDOW = 128;
  static constexpr int IDI_PRODUCT = 130;
  static constexpr SIZE ProductIconSize{150, 73};
  static constexpr int ListExtent = 1200;

  enum class Ending { Closed, Quit };

  // afterDispatch runs on the dialog's thread after each message the workflow handled (a program
  // around the dialog watches the state there); may be empty.
  CWin32DialogHost(CCompanion& companion, std::function<void()> afterDispatch = {});
  ~CWin32DialogHost() override;
  CWin32DialogHost(const CWin32DialogHost&) = delete;
  CWin32DialogHost& operator=(const CWin32DialogHost&) = delete;

  // Runs the dialog modally until an allowed close or the quit of the fatal path.
  Ending run(CKavrinDFUDlg& dialog);

  void setWindowTitle(const std::string& text) override;
  void setControlText(int control, const std::string& text) override;
  void showControl(int control, bool visible) override;
  void setBold(int control) override;
  void addListLine(int control, const std::string& text) override;
  void setProgressRange(int control, std::uint32_t upper) override;
  void setProgressPosition(int control, std::uint32_t position) override;
  std::uint32_t progressPosition(int control) const override;
  void postMessage(unsigned message, std::uintptr_t wParam) override;
  void setTimer(std::uint32_t id, unsigned milliseconds) override;
  void killTimer(std::uint32_t id) override;
  void messageBox(const std::string& text) override;
  void setWaitCursor(bool waiting) override;
  void quit() override;
  void endDialog() override;
  unsigned languageId() const override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  // Draws the window icon centred in the client area of the minimised window.
  void paintMinimised();
  HWND item(int control) const { return GetDlgItem(window_, control); }
  void dispatched();

  CCompanion& companion_;
  const std::function<void()> afterDispatch_;
  CKavrinDFUDlg* dialog_ = nullptr;
  std::atomic<HWND> window_{nullptr};
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HICON productIcon_ = nullptr;
  HFONT boldFont_ = nullptr;  // lives as long as the dialog
  HCURSOR savedCursor_ = nullptr;
  Ending ending_ = Ending::Closed;
};
