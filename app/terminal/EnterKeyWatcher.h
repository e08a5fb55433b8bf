#pragma once

#include <functional>
#include <thread>

// Watches a file descriptor (the terminal's standard input) on a thread of its own and calls
// onEnter there for every line the user ends with Enter. Stops at end of input or when
// destroyed; the destructor wakes and joins the thread.
class EnterKeyWatcher {
 public:
  EnterKeyWatcher(int fd, std::function<void()> onEnter);
  ~EnterKeyWatcher();
  EnterKeyWatcher(const EnterKeyWatcher&) = delete;
  EnterKeyWatcher& operator=(const EnterKeyWatcher&) = delete;

 private:
  void watch();

  const int fd_;
  const std::function<void()> onEnter_;
  int wakePipe_[2] = {-1, -1};  // written by the destructor to end the poll
  std::thread thread_;
};
