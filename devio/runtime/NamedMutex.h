#pragma once

#include <string>

namespace devio {

// A host-wide mutex shared by name between processes: every program that uses the library
// takes turns on a device through it. Owned per thread, like a recursive mutex: the thread
// that locks unlocks, and a thread that holds it may lock again (one unlock per lock). A
// process that ends (or a thread that exits) while holding it leaves it acquirable: the next
// lock() succeeds.
//
// Windows: a named kernel mutex. POSIX: a process-shared, robust, recursive pthread mutex in a
// shared memory object named "/" + the name, every character other than a letter, digit, '-'
// or '_' written as '%' and two hexadecimal digits. A process maps each name once and keeps it
// mapped until it ends (a thread's robust-mutex list refers into that memory).
//
// The object has no lock of its own: init() runs once, before other threads use the object.
class NamedMutex {
 public:
  // With a name: init(name) and, when heldForLife, lock() on the constructing thread. An empty
  // name leaves the object without a handle.
  NamedMutex(const std::string& name, bool heldForLife);
  // When heldForLife, unlock() (on the constructing thread); then closes the handle.
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Opens or creates the host mutex, not owned. False (handle null, LastError set) on failure.
  bool init(const std::string& name);
  // Waits without limit. False without a handle or when the host refuses (LastError set).
  bool lock();
  // False without a handle or when the calling thread does not hold it (LastError set).
  bool unlock();
  bool isOpen() const { return hMutex_ != nullptr; }

  // Removes the name from the host so that the next init() creates a fresh mutex. Only for a
  // name no object in any process uses any more; needed where the host keeps named mutexes
  // after their last handle (POSIX shared memory), nothing to do on Windows. Per host.
  static bool remove(const std::string& name);

 private:
  bool checkHandle() const;

  // Per host (NamedMutex_win32.cpp, NamedMutex_posix.cpp). Failures set LastError.
  static void* openHost(const std::string& name);
  static bool lockHost(void* handle);
  static bool unlockHost(void* handle);
  static void closeHost(void* handle);

  bool heldForLife_;
  void* hMutex_ = nullptr;  // Windows: HANDLE; POSIX: the mapped pthread_mutex_t
};

}  // namespace devio
