#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "app/IDialogHost.h"
#include "app/terminal/TerminalView.h"
#include "devio/runtime/Clock.h"

// The window of the update workflow in a terminal: the message loop that runs the dialog on the
// calling thread, and a TerminalView that draws it.
//
// The loop hands each posted message (in posting order) and each timer expiry (in deadline
// order) to its client, one at a time, until quit() or endDialog(), and has the view paint what
// changed after each one. Timers run on the clock
// given (the steady clock in the program, a manual clock in tests); one timer per id, and
// setting it again replaces it. A timer that expired stays armed until it is killed, firing
// again one period later.
//
// Threads: postMessage from any thread; everything else on the thread that calls run().
class TerminalDialogHost final : public IDialogHost {
 public:
  // What the loop drives: the dialog, or a front end wrapped around it.
  class Client {
   public:
    virtual ~Client() = default;
    virtual bool OnInitDialog() = 0;
    virtual void OnMessage(unsigned message, std::uintptr_t wParam) = 0;
    virtual void OnTimer(std::uint32_t id) = 0;
  };

  enum class Ending { Quit, EndDialog };

  TerminalDialogHost(TerminalView& view, unsigned languageId,
                     std::shared_ptr<devio::Clock> clock = devio::Clock::steady());

  // Initialises the client, then dispatches until the dialog or the application ends.
  Ending run(Client& client);

  // IDialogHost: drawing goes to the view.
  void setWindowTitle(const std::string& text) override { view_.setWindowTitle(text); }
  void setControlText(int control, const std::string& text) override { view_.setControlText(control, text); }
  void showControl(int control, bool visible) override { view_.showControl(control, visible); }
  void setBold(int control) override { view_.setBold(control); }
  void addListLine(int control, const std::string& text) override { view_.addListLine(control, text); }
  void setProgressRange(int control, std::uint32_t upper) override { view_.setProgressRange(control, upper); }
  void setProgressPosition(int control, std::uint32_t position) override {
    view_.setProgressPosition(control, position);
  }
  std::uint32_t progressPosition(int control) const override { return view_.progressPosition(control); }
  void messageBox(const std::string& text) override { view_.messageBox(text); }
  unsigned languageId() const override { return languageId_; }

  // IDialogHost: the loop.
  void postMessage(unsigned message, std::uintptr_t wParam) override;
  void setTimer(std::uint32_t id, unsigned milliseconds) override;
  void killTimer(std::uint32_t id) override;
  void quit() override;
  void endDialog() override;

 private:
  struct Message {
    unsigned message;
    std::uintptr_t wParam;
  };
  struct Timer {
    devio::Clock::duration period;
    devio::Clock::time_point deadline;
  };
  using Work = std::variant<Message, std::uint32_t>;

  // Blocks until a message is queued, a timer is due or the loop is to end; empty for the end.
  std::optional<Work> next();
  // The id of the earliest timer that is due now, re-armed for its next period.
  std::optional<std::uint32_t> takeDueTimer();

  TerminalView& view_;
  const unsigned languageId_;
  const std::shared_ptr<devio::Clock> clock_;

  std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<Message> messages_;
  std::map<std::uint32_t, Timer> timers_;
  std::optional<Ending> ending_;
};
