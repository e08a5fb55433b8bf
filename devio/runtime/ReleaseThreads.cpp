#include "devio/runtime/ReleaseThreads.h"

#include <mutex>
#include <thread>
#include <vector>

namespace devio {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::thread> threads;
};

// Never destroyed: a release may be handed on while the process ends.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

}  // namespace

void ReleaseThreads::run(std::function<void()> release) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.threads.emplace_back(std::move(release));
}

void ReleaseThreads::join() {
  auto& r = registry();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(r.mutex);
    threads.swap(r.threads);
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace devio
