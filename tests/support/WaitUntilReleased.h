#pragma once

#include <chrono>
#include <memory>
#include <thread>

namespace testsupport {

// Waits until the last reference to an object released on another thread is gone, bounded by a
// generous real time; answers whether it is gone. For releases no event announces.
template <class T>
bool waitUntilReleased(const std::weak_ptr<T>& object, std::chrono::seconds bound = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!object.expired() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  return object.expired();
}

}  // namespace testsupport
