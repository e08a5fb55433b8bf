#pragma once

#include <functional>

namespace devio {

// Process exit while library threads (timers, bus and log threads) can still be joined.
// Joining the device manager's threads from a static destructor, after main() has returned, can
// deadlock or crash, so while the facade holds a manager about_to_join() ends the process
// instead. A program may put one guard object in main(): its destruction runs the registered
// cleanups (the facade's shutdown, the log buffer's) while the threads can still be joined
// safely, and the process then exits with main()'s own status.
class Vs2003SingletonThreadCleanup {
 public:
  Vs2003SingletonThreadCleanup();
  ~Vs2003SingletonThreadCleanup();
  Vs2003SingletonThreadCleanup(const Vs2003SingletonThreadCleanup&) = delete;
  Vs2003SingletonThreadCleanup& operator=(const Vs2003SingletonThreadCleanup&) = delete;

  // Registers a cleanup for the guard to run (latest first).
  static void add(std::function<void()> cleanup);

  // Called by an owner of joinable threads from its static destructor. Returns at once while a
  // guard is alive (it will clean up), and when the facade holds no manager (the caller's own
  // thread can be joined, and the process keeps its exit status). Otherwise logs why, flushes
  // the log and the standard streams and ends the process with exit code 0. A nested call (from
  // the log's own shutdown) returns.
  static void about_to_join();

  // Told by the facade whenever it takes or drops its device manager.
  static void manager_held(bool held);
};

}  // namespace devio
