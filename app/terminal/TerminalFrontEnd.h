#pragma once

#include <cstdint>
#include <memory>

#include "app/CKavrinDFUDlg.h"
#include "app/terminal/TerminalDialogHost.h"
#include "app/terminal/TerminalOptions.h"
#include "app/terminal/TerminalView.h"
#include "sim/SimulatedZephelKeyboard.h"

// What kavrin-dfu does around the update dialog, since a terminal has no buttons and no hands:
// it closes the dialog once the result is shown (state 7 or 8), unplugs and replugs the
// simulated keyboard when the dialog asks the user to (state 3) and plugs it back in when it
// vanished (state 0), and gives up when no keyboard comes within the wait. Enter does the
// pending step at once. Runs on the dialog's thread, between the dialog's own messages and
// timers.
class TerminalFrontEnd final : public TerminalDialogHost::Client {
 public:
  // The front end's own message and timers; the dialog uses other ids.
  static constexpr unsigned WM_ENTER = 0x0400 + 100;
  static constexpr std::uint32_t ReplugTimerId = 1;
  static constexpr std::uint32_t KeyboardWaitTimerId = 2;

  enum ExitStatus { Done = 0, Failed = 1, BadCommandLine = 2, NoKeyboard = 3 };

  // keyboard: the simulated keyboard, or null when the tool waits for a real one. interactive:
  // the user can press Enter (WM_ENTER reaches the loop).
  TerminalFrontEnd(CKavrinDFUDlg& dialog, TerminalDialogHost& host, TerminalView& view, const TerminalOptions& options,
                   std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard, bool interactive);

  bool OnInitDialog() override;
  void OnMessage(unsigned message, std::uintptr_t wParam) override;
  void OnTimer(std::uint32_t id) override;

  // The program's exit status once the loop has ended this way.
  ExitStatus exitStatus(TerminalDialogHost::Ending ending) const;

 private:
  enum class Pending { None, Replug, GiveUp };

  // Reacts to a state the dialog entered (or entered again) during the last message or timer.
  void afterDispatch();
  // Runs the step after the period (or on Enter) and tells the user so, unless what is empty or
  // the step runs at once.
  void arm(Pending pending, std::uint32_t timer, unsigned milliseconds, const std::string& what);
  void disarm();
  void runPending();

  CKavrinDFUDlg& dialog_;
  TerminalDialogHost& host_;
  TerminalView& view_;
  const TerminalOptions& options_;
  const std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard_;
  const bool interactive_;
  int shownState_ = -1;
  int shownArmRounds_ = 0;
  Pending pending_ = Pending::None;
  std::uint32_t pendingTimer_ = 0;
  bool gaveUp_ = false;
};
