#include "app/terminal/TerminalFrontEnd.h"

#include <string>

TerminalFrontEnd::TerminalFrontEnd(CKavrinDFUDlg& dialog, TerminalDialogHost& host, TerminalView& view,
                                   const TerminalOptions& options,
                                   std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard, bool interactive)
    : dialog_(dialog),
      host_(host),
      view_(view),
      options_(options),
      keyboard_(std::move(keyboard)),
      interactive_(interactive) {}

bool TerminalFrontEnd::OnInitDialog() {
  const bool focus = dialog_.OnInitDialog();
  afterDispatch();
  return focus;
}

void TerminalFrontEnd::OnMessage(unsigned message, std::uintptr_t wParam) {
  if (message == WM_ENTER) {
    runPending();
  } else {
    dialog_.OnMessage(message, wParam);
  }
  afterDispatch();
}

void TerminalFrontEnd::OnTimer(std::uint32_t id) {
  if (id == ReplugTimerId || id == KeyboardWaitTimerId) {
    runPending();
  } else {
    dialog_.OnTimer(id);
  }
  afterDispatch();
}

TerminalFrontEnd::ExitStatus TerminalFrontEnd::exitStatus(TerminalDialogHost::Ending ending) const {
  if (ending == TerminalDialogHost::Ending::EndDialog) return Done;
  return gaveUp_ ? NoKeyboard : Failed;
}

void TerminalFrontEnd::afterDispatch() {
  const int state = dialog_.state();
  // State 3 entered again asks for another replug.
  if (state == shownState_ && dialog_.armRounds() == shownArmRounds_) return;
  shownState_ = state;
  shownArmRounds_ = dialog_.armRounds();
  disarm();
  switch (state) {
    case 0:
      if (keyboard_ && !keyboard_->plugged()) {
        arm(Pending::Replug, ReplugTimerId, options_.replugDelayMs, "The simulated keyboard will be plugged back in");
      } else {
        if (!keyboard_) {
          view_.note("No Kavrin Zephel keyboard can be found yet: this Linux build has no HID transport.\n"
                     "Run kavrin-dfu --simulate to update the built-in simulated keyboard.");
        }
        // The simulated keyboard is on its way: wait without a word.
        arm(Pending::GiveUp, KeyboardWaitTimerId, options_.keyboardWaitMs,
            keyboard_ ? "" : "The tool will give up waiting");
      }
      break;
    case 3:
      if (keyboard_) {
        arm(Pending::Replug, ReplugTimerId, options_.replugDelayMs,
            "The simulated keyboard will be unplugged and plugged back in");
      }
      break;
    case 7:
    case 8:
      // The result is on screen and there is no button to click.
      dialog_.OnClose();
      break;
    default:
      break;
  }
}

void TerminalFrontEnd::arm(Pending pending, std::uint32_t timer, unsigned milliseconds, const std::string& what) {
  pending_ = pending;
  pendingTimer_ = timer;
  if (!what.empty() && milliseconds > 0) {
    std::string text = "(" + what + " after " + std::to_string(milliseconds) + " ms";
    if (interactive_) text += "; press Enter to go on now";
    view_.note(text + ".)");
  }
  host_.setTimer(timer, milliseconds);
}

void TerminalFrontEnd::disarm() {
  if (pending_ == Pending::None) return;
  host_.killTimer(pendingTimer_);
  pending_ = Pending::None;
}

void TerminalFrontEnd::runPending() {
  const Pending pending = pending_;
  disarm();
  switch (pending) {
    case Pending::Replug:
      view_.note(keyboard_->plugged() ? "Unplugging the simulated keyboard and plugging it back in."
                                      : "Plugging the simulated keyboard back in.");
      keyboard_->replug();
      break;
    case Pending::GiveUp:
      view_.note("No Kavrin Zephel keyboard came.");
      gaveUp_ = true;
      host_.quit();
      break;
    case Pending::None:
      break;
  }
}
