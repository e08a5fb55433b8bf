#include "app/terminal/EnterKeyWatcher.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

EnterKeyWatcher::EnterKeyWatcher(int fd, std::function<void()> onEnter) : fd_(fd), onEnter_(std::move(onEnter)) {
  if (pipe(wakePipe_) == 0) thread_ = std::thread([this] { watch(); });
}

EnterKeyWatcher::~EnterKeyWatcher() {
  if (thread_.joinable()) {
    const char stop = 0;
    while (write(wakePipe_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int fd : wakePipe_) {
    if (fd >= 0) close(fd);
  }
}

void EnterKeyWatcher::watch() {
  pollfd watched[2] = {{fd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    char buffer[256];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // end of input or an error: nothing more will come
    for (std::ptrdiff_t lines = std::count(buffer, buffer + n, '\n'); lines > 0; --lines) onEnter_();
  }
}
