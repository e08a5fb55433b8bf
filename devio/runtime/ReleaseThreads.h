#pragma once

#include <functional>

namespace devio {

// Destructions handed off a thread that must not run them (a library worker thread that the
// object being destroyed would join). Each runs at once on a thread of its own.
class ReleaseThreads {
 public:
  static void run(std::function<void()> release);
  // Waits for every release handed so far. Not to be called from a release itself.
  static void join();
};

}  // namespace devio
