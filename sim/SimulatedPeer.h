#pragma once

#include "devio/protocol/Byte.h"

namespace sim {

// The device end of a SimulatedChannel: whatever answers the host (a simulated Velo device, a
// keyboard, a scripted test device).
//
// The channel calls onHostWrite on the thread that wrote, once per accepted write, with the
// report as written (padded to the channel's report length). The peer answers by calling
// SimulatedChannel::deliver(report) from any thread, at once or later; the channel's read thread
// then hands each delivered report to the Read subscribers, in order. A peer must not block in
// onHostWrite waiting for its own answer to be read (a synchronous writer is itself waiting).
// A peer should hold its channel weakly: the channel holds the peer.
class SimulatedPeer {
 public:
  virtual ~SimulatedPeer() = default;
  virtual void onHostWrite(const devio::Bytes& report) = 0;
};

}  // namespace sim
