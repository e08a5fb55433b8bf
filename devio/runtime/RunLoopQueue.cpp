#include "devio/runtime/RunLoopQueue.h"

// Interim until the facade lands: no manager, so queued calls are dropped.
namespace devio::runloop {
void enqueue(std::function<void()>, void*, void*, std::string) {}
void remove(void*, void*) {}
}  // namespace devio::runloop
