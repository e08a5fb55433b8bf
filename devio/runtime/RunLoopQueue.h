#pragma once

#include <functional>
#include <string>

// The producers' way into the facade's run-loop queue (defined with the facade, CDevio.cpp).
namespace devio::runloop {

// Queues one bound handler call; dropped (and logged) when the facade has no manager.
void enqueue(std::function<void()> call, void* subscriber, void* producerKey, std::string name);

// Discards every queued call with both keys equal to the given ones (both null: all).
void remove(void* subscriber, void* producerKey);

}  // namespace devio::runloop
