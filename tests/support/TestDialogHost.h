#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/IDialogHost.h"

class CKavrinDFUDlg;

namespace testsupport {

// The window of the update workflow in a test: records everything the workflow shows, keeps
// posted messages until the test pumps them on its own thread, and runs timers on a fake clock
// that only advance() moves. Once quit() or endDialog() was called nothing more is dispatched,
// as a real message loop would end.
//
// Threads: postMessage may be called from any thread (library threads post WM_USER+1); all
// other members belong to the test's thread.
class TestDialogHost final : public IDialogHost {
 public:
  explicit TestDialogHost(unsigned languageId = 1033) : languageId_(languageId) {}

  // The workflow that receives messages and timer expiries.
  void attach(CKavrinDFUDlg& dialog) { dialog_ = &dialog; }

  // Delivers every queued message, including those posted meanwhile; answers how many.
  int pump();
  // Delivers queued messages one at a time, waiting for posts from library threads, until
  // predicate holds (checked before each message); false when it still does not after timeout
  // (real time; a safety net, never the expected path).
  bool pumpUntil(const std::function<bool()>& predicate,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Moves the fake clock on: due timers fire in deadline order, each followed by a pump.
  void advance(std::uint32_t milliseconds);
  std::uint64_t now() const { return now_; }
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

  const unsigned languageId_;
  CKavrinDFUDlg* dialog_ = nullptr;

  std::mutex queueMutex_;
  std::condition_variable posted_;
  std::deque<std::pair<unsigned, std::uintptr_t>> queue_;  // guarded by queueMutex_

  std::uint64_t now_ = 0;
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
