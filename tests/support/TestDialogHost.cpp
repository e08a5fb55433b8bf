#include "tests/support/TestDialogHost.h"

#include <algorithm>

#include "app/CKavrinDFUDlg.h"

namespace testsupport {

namespace {
std::uint64_t millis(devio::Clock::time_point t) {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}
}  // namespace

TestDialogHost::TestDialogHost(unsigned languageId, std::shared_ptr<sim::ManualClock> clock)
    : languageId_(languageId), clock_(clock ? std::move(clock) : std::make_shared<sim::ManualClock>()) {
  clock_->attach(queueMutex_, posted_);
}

TestDialogHost::~TestDialogHost() { clock_->detach(queueMutex_, posted_); }

std::uint64_t TestDialogHost::now() const { return millis(clock_->now()); }

bool TestDialogHost::deliverOne() {
  if (!running()) return false;
  std::pair<unsigned, std::uintptr_t> message;
  {
    std::lock_guard lock(queueMutex_);
    if (queue_.empty()) return false;
    message = queue_.front();
    queue_.pop_front();
  }
  if (dialog_) dialog_->OnMessage(message.first, message.second);
  return true;
}

int TestDialogHost::pump() {
  int delivered = 0;
  while (deliverOne()) ++delivered;
  return delivered;
}

bool TestDialogHost::pumpUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (predicate()) return true;
    // The bound holds also while messages keep coming.
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (deliverOne()) continue;
    std::unique_lock lock(queueMutex_);
    if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return predicate();
  }
}

void TestDialogHost::advance(std::uint32_t milliseconds) {
  const std::uint64_t target = now() + milliseconds;
  for (;;) {
    auto due = std::min_element(timers_.begin(), timers_.end(),
                                [](const auto& a, const auto& b) { return a.second.deadline < b.second.deadline; });
    if (due == timers_.end() || due->second.deadline > target || !running()) break;
    clock_->advanceMs(static_cast<long long>(due->second.deadline - now()));
    fireDueTimer();
    pump();
  }
  clock_->advanceMs(static_cast<long long>(target - now()));
  pump();
}

bool TestDialogHost::fireDueTimer() {
  auto due = std::min_element(timers_.begin(), timers_.end(),
                              [](const auto& a, const auto& b) { return a.second.deadline < b.second.deadline; });
  if (due == timers_.end() || due->second.deadline > now() || !running()) return false;
  const std::uint32_t id = due->first;
  // A timer keeps firing until it is killed, like a window timer.
  due->second.deadline += std::max(1u, due->second.interval);
  if (dialog_) dialog_->OnTimer(id);
  return true;
}

bool TestDialogHost::runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds virtualBound) {
  bindDialogThread();
  const auto end = clock_->now() + virtualBound;
  for (;;) {
    if (predicate()) return true;
    if (!running() || clock_->now() >= end) return predicate();
    if (fireDueTimer() || deliverOne()) continue;
    auto wakeUp = end;
    for (const auto& [id, timer] : timers_) {
      wakeUp = std::min(wakeUp, devio::Clock::time_point(std::chrono::milliseconds(timer.deadline)));
    }
    std::unique_lock lock(queueMutex_);
    clock_->waitUntil(lock, posted_, wakeUp, [this] { return !queue_.empty(); });
  }
}

bool TestDialogHost::dialogWaiting() const { return clock_->waiting(dialogThread_.load()); }

std::map<std::uint32_t, unsigned> TestDialogHost::timers() const {
  std::map<std::uint32_t, unsigned> result;
  for (const auto& [id, timer] : timers_) result[id] = timer.interval;
  return result;
}

std::size_t TestDialogHost::queuedMessages() {
  std::lock_guard lock(queueMutex_);
  return queue_.size();
}

std::string TestDialogHost::controlText(int control) const {
  const auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

bool TestDialogHost::visible(int control) const {
  const auto it = visible_.find(control);
  return it == visible_.end() || it->second;
}

std::vector<std::string> TestDialogHost::listLines(int control) const {
  const auto it = lists_.find(control);
  return it == lists_.end() ? std::vector<std::string>() : it->second;
}

std::uint32_t TestDialogHost::progressUpper(int control) const {
  const auto it = progress_.find(control);
  return it == progress_.end() ? Progress().upper : it->second.upper;
}

void TestDialogHost::setControlText(int control, const std::string& text) {
  texts_[control] = text;
  if (control == CKavrinDFUDlg::IDC_INSTRUCTIONS) instructions_.push_back(text);
}

void TestDialogHost::setProgressRange(int control, std::uint32_t upper) {
  auto& progress = progress_[control];
  progress.upper = upper;
  progress.position = std::min(progress.position, upper);
}

void TestDialogHost::setProgressPosition(int control, std::uint32_t position) {
  auto& progress = progress_[control];
  progress.position = std::min(position, progress.upper);
}

std::uint32_t TestDialogHost::progressPosition(int control) const {
  const auto it = progress_.find(control);
  return it == progress_.end() ? 0 : it->second.position;
}

void TestDialogHost::postMessage(unsigned message, std::uintptr_t wParam) {
  {
    std::lock_guard lock(queueMutex_);
    queue_.emplace_back(message, wParam);
  }
  posted_.notify_all();
}

void TestDialogHost::setTimer(std::uint32_t id, unsigned milliseconds) {
  timers_[id] = Timer{now() + milliseconds, milliseconds};
}

}  // namespace testsupport
