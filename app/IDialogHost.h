#pragma once

#include <cstdint>
#include <string>

// The window the update workflow (CKavrinDFUDlg) runs in. The Windows host wraps the dialog's
// HWND, the terminal host draws the texts and a progress bar, the test host records every call
// and lets a test drive messages and time.
//
// Threads: postMessage may be called from any thread; everything else is called on the dialog's
// thread, the one on which the host hands posted messages and timer expiries back to the
// workflow (CKavrinDFUDlg::OnMessage, CKavrinDFUDlg::OnTimer).
class IDialogHost {
 public:
  virtual ~IDialogHost() = default;

  virtual void setWindowTitle(const std::string& text) = 0;
  virtual void setControlText(int control, const std::string& text) = 0;
  virtual void showControl(int control, bool visible) = 0;
  // Makes the control's text bold (the instructions line).
  virtual void setBold(int control) = 0;
  virtual void addListLine(int control, const std::string& text) = 0;

  // Progress bar: range 0..upper with step 1; positions beyond the range are clamped to it.
  virtual void setProgressRange(int control, std::uint32_t upper) = 0;
  virtual void setProgressPosition(int control, std::uint32_t position) = 0;
  virtual std::uint32_t progressPosition(int control) const = 0;

  // Queues a message for the dialog's thread (any thread; never runs it before returning).
  virtual void postMessage(unsigned message, std::uintptr_t wParam) = 0;
  // One timer per id: setting it again replaces the running one. An expiry reaches the workflow
  // as OnTimer(id) until the timer is killed (the workflow kills each timer when it fires).
  virtual void setTimer(std::uint32_t id, unsigned milliseconds) = 0;
  virtual void killTimer(std::uint32_t id) = 0;

  // Shows the wait cursor while the workflow blocks the window for long (the profile backup);
  // hosts without a pointer have nothing to show.
  virtual void setWaitCursor(bool /*waiting*/) {}
  // Shows a modal message and returns when the user has dismissed it.
  virtual void messageBox(const std::string& text) = 0;
  // Ends the message loop: the application quits (no closing steps).
  virtual void quit() = 0;
  // Ends the dialog after an allowed close.
  virtual void endDialog() = 0;

  // The language id of the dialog thread's locale (its low 16 bits), e.g. 1033.
  virtual unsigned languageId() const = 0;
};
