#pragma once

namespace devio {

// Marks the calling thread, for the marker's life, as one of the library's worker threads: a
// timer's worker or a channel's read thread. Whoever joins such threads while it is destroyed
// (the device manager above all) must not be destroyed on one; current() tells.
class WorkerThread {
 public:
  WorkerThread();
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  static bool current();
};

}  // namespace devio
