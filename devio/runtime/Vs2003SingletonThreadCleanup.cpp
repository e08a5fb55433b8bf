#include "devio/runtime/Vs2003SingletonThreadCleanup.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "devio/runtime/XLog.h"

namespace devio {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::function<void()>> cleanups;
  std::atomic<bool> guardInstalled{false};
  std::atomic<bool> guardFinished{false};
  std::atomic<bool> managerHeld{false};
  std::atomic<bool> exiting{false};
};

// Never destroyed: about_to_join may run from any static destructor.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

}  // namespace

Vs2003SingletonThreadCleanup::Vs2003SingletonThreadCleanup() { registry().guardInstalled = true; }

Vs2003SingletonThreadCleanup::~Vs2003SingletonThreadCleanup() {
  auto& r = registry();
  std::vector<std::function<void()>> cleanups;
  {
    std::lock_guard lock(r.mutex);
    cleanups.swap(r.cleanups);
  }
  for (auto it = cleanups.rbegin(); it != cleanups.rend(); ++it) (*it)();
  r.guardFinished = true;
}

void Vs2003SingletonThreadCleanup::add(std::function<void()> cleanup) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.cleanups.push_back(std::move(cleanup));
}

void Vs2003SingletonThreadCleanup::manager_held(bool held) { registry().managerHeld = held; }

void Vs2003SingletonThreadCleanup::about_to_join() {
  auto& r = registry();
  if (r.guardInstalled && !r.guardFinished) return;
  if (!r.managerHeld) return;
  if (r.exiting.exchange(true)) return;
  constexpr const char* fn = "Vs2003SingletonThreadCleanup::about_to_join";
  xLog("Untagged", LogInfo, fn,
       "joinable threads after main exited, so terminating process to avoid VS2003 runtime library crash");
  if (!r.guardInstalled) xLog("Untagged", LogInfo, fn, "you should have put a Vs2003SingletonThreadCleanup guard object in main()");
  xLogFlush();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace devio
