#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/IDialogHost.h"
#include "sim/ManualClock.h"

class CKavrinDFUDlg;

namespace testsupport {

// The window of the update workflow in a test: records everything the workflow shows, keeps
// posted messages until the test pumps them on its own thread, and runs timers on a manual
// clock: its own, which only advance() moves, or one it shares with the library and the
// simulated keyboard, which a sim::VirtualTime driver moves while runUntil() serves the dialog.
// Once quit() or endDialog() was called nothing more is dispatched, as a real message loop would
// end.
//
// Threads: postMessage may be called from any thread (library threads post WM_USER+1); all
// other members belong to the dialog's thread (the test's, or the one inside runUntil).
class TestDialogHost final : public IDialogHost {
 public:
  explicit TestDialogHost(unsigned languageId = 1033, std::shared_ptr<sim::ManualClock> clock = nullptr);
  ~TestDialogHost() override;
  TestDialogHost(const TestDialogHost&) = delete;
  TestDialogHost& operator=(const TestDialogHost&) = delete;

  // The workflow that receives messages and timer expiries.
  void attach(CKavrinDFUDlg& dialog) { dialog_ = &dialog; }

  // Delivers every queued message, including those posted meanwhile; answers how many.
  int pump();
  // Delivers queued messages one at a time, waiting for posts from library threads, until
  // predicate holds (checked before each message); false when it still does not after timeout
  // (real time; a safety net, never the expected path).
  bool pumpUntil(const std::function<bool()>& predicate,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Moves the clock on: due timers fire in deadline order, each followed by a pump.
  void advance(std::uint32_t milliseconds);
  // Milliseconds on the clock.
  std::uint64_t now() const;
  // The dialog's message loop under virtual time, to run on the thread that sim::VirtualTime
  // gives its call: delivers messages and fires due timers until predicate holds (checked before
  // each message and timer) or the loop ends, waiting on the clock for the next timer or post.
  // False when predicate still does not hold after virtualBound on the clock.
  bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds virtualBound);
  // Makes the calling thread the dialog's before it runs anything that may wait on the clock
  // (runUntil does so itself).
  void bindDialogThread() { dialogThread_ = std::this_thread::get_id(); }
  // Whether the thread inside runUntil is waiting on the clock (for a message, a timer or an
  // answer of the keyboard): what sim::VirtualTime needs to know before it moves the clock.
  bool dialogWaiting() const;
  // Pending timers: id -> interval.
  std::map<std::uint32_t, unsigned> timers() const;
  bool timerRunning(std::uint32_t id) const { return timers_.contains(id); }
  std::size_t queuedMessages();

  // What the workflow showed.
  const std::string& windowTitle() const { return title_; }
  std::string controlText(int control) const;
  bool visible(int control) const;
  bool bold(int control) const { return bold_.contains(control); }
  std::vector<std::string> listLines(int control) const;
  std::uint32_t progressUpper(int control) const;
  const std::vector<std::string>& messageBoxes() const { return messageBoxes_; }
  bool quitCalled() const { return quit_; }
  bool dialogEnded() const { return ended_; }
  // Every text control 1004 (the instructions) was given, in order.
  const std::vector<std::string>& instructionHistory() const { return instructions_; }

  // IDialogHost
  void setWindowTitle(const std::string& text) override { title_ = text; }
  void setControlText(int control, const std::string& text) override;
  void showControl(int control, bool visible) override { visible_[control] = visible; }
  void setBold(int control) override { bold_.insert(control); }
  void addListLine(int control, const std::string& text) override { lists_[control].push_back(text); }
  void setProgressRange(int control, std::uint32_t upper) override;
  void setProgressPosition(int control, std::uint32_t position) override;
  std::uint32_t progressPosition(int control) const override;
  void postMessage(unsigned message, std::uintptr_t wParam) override;
  void setTimer(std::uint32_t id, unsigned milliseconds) override;
  void killTimer(std::uint32_t id) override { timers_.erase(id); }
  void messageBox(const std::string& text) override { messageBoxes_.push_back(text); }
  void quit() override { quit_ = true; }
  void endDialog() override { ended_ = true; }
  unsigned languageId() const override { return languageId_; }

 private:
  struct Timer {
    std::uint64_t deadline;
    unsigned interval;
  };
  struct Progress {
    std::uint32_t upper = 100;  // the control's default range
    std::uint32_t position = 0;
  };

  bool running() const { return !quit_ && !ended_; }
  // Delivers the oldest queued message; false when there is none or the loop has ended.
  bool deliverOne();
  // Fires the earliest timer due by the clock; false when none is.
  bool fireDueTimer();

  const unsigned languageId_;
  const std::shared_ptr<sim::ManualClock> clock_;
  CKavrinDFUDlg* dialog_ = nullptr;
  std::atomic<std::thread::id> dialogThread_{};

  std::mutex queueMutex_;
  std::condition_variable posted_;
  std::deque<std::pair<unsigned, std::uintptr_t>> queue_;  // guarded by queueMutex_

  std::map<std::uint32_t, Timer> timers_;

  std::string title_;
  std::map<int, std::string> texts_;
  // As the dialog template starts them: the progress bar and the Close button hidden.
  std::map<int, bool> visible_{{1000, false}, {1005, false}};
  std::set<int> bold_;
  std::map<int, std::vector<std::string>> lists_;
  std::map<int, Progress> progress_;
  std::vector<std::string> messageBoxes_;
  std::vector<std::string> instructions_;
  bool quit_ = false;
  bool ended_ = false;
};

}  // namespace testsupport
