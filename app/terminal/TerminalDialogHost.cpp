#include "app/terminal/TerminalDialogHost.h"

#include <algorithm>
#include <type_traits>

TerminalDialogHost::TerminalDialogHost(TerminalView& view, unsigned languageId, std::shared_ptr<devio::Clock> clock)
    : view_(view), languageId_(languageId), clock_(std::move(clock)) {}

TerminalDialogHost::Ending TerminalDialogHost::run(Client& client) {
  clock_->attach(mutex_, wake_);
  client.OnInitDialog();
  view_.paint();
  while (std::optional<Work> work = next()) {
    std::visit(
        [&](const auto& item) {
          if constexpr (std::is_same_v<std::decay_t<decltype(item)>, Message>) {
            client.OnMessage(item.message, item.wParam);
          } else {
            client.OnTimer(item);
          }
        },
        *work);
    view_.paint();
  }
  clock_->detach(mutex_, wake_);
  std::lock_guard lock(mutex_);
  return *ending_;
}

void TerminalDialogHost::postMessage(unsigned message, std::uintptr_t wParam) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, wParam});
  }
  wake_.notify_one();
}

void TerminalDialogHost::setTimer(std::uint32_t id, unsigned milliseconds) {
  const auto period = std::chrono::duration_cast<devio::Clock::duration>(std::chrono::milliseconds(milliseconds));
  std::lock_guard lock(mutex_);
  timers_[id] = Timer{period, clock_->now() + period};
}

void TerminalDialogHost::killTimer(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

void TerminalDialogHost::quit() {
  std::lock_guard lock(mutex_);
  if (!ending_) ending_ = Ending::Quit;
  wake_.notify_one();
}

void TerminalDialogHost::endDialog() {
  std::lock_guard lock(mutex_);
  if (!ending_) ending_ = Ending::EndDialog;
  wake_.notify_one();
}

// Posted messages go before timer expiries, as in a window's message queue.
std::optional<TerminalDialogHost::Work> TerminalDialogHost::next() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (ending_) return std::nullopt;
    if (!messages_.empty()) {
      const Message message = messages_.front();
      messages_.pop_front();
      return message;
    }
    if (std::optional<std::uint32_t> id = takeDueTimer()) return *id;
    // Without a timer the wait is only bounded so that the deadline stays far from overflow.
    devio::Clock::time_point deadline = clock_->now() + std::chrono::hours(1);
    for (const auto& [id, timer] : timers_) deadline = std::min(deadline, timer.deadline);
    // Timers change only on this thread, so a posted message or the end is all that can come.
    clock_->waitUntil(lock, wake_, deadline, [&] { return ending_ || !messages_.empty(); });
  }
}

std::optional<std::uint32_t> TerminalDialogHost::takeDueTimer() {
  const auto now = clock_->now();
  auto due = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->second.deadline <= now && (due == timers_.end() || it->second.deadline < due->second.deadline)) due = it;
  }
  if (due == timers_.end()) return std::nullopt;
  due->second.deadline = now + due->second.period;
  return due->first;
}
