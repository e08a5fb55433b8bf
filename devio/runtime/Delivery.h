#pragma once

namespace devio {

// How a subscription's handler is called: queued for the client's run loop, or at once on
// the producing thread. Any other value makes a subscription a no-op that reports success.
enum Delivery : int {
  RunLoop = 0,
  Direct = 1,
};

}  // namespace devio
