#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// DFU (0x00D0): a device in its update mode receives a firmware image as a stream of 16-byte
// packets, a start packet first, each acknowledged with a status. The feature keeps no transfer
// state: which block goes next, and when, is the caller's business.
class IFeature00d0DFU {
 public:
  class Report {
   public:
    // A status for packet: the acknowledgement of DFUSendPacket or the device's own notification.
    // The status is payload byte 4; the payload may be too short to hold it.
    virtual void onDfuStatus(unsigned packet, Bytes payload) = 0;
    virtual ~Report() = default;
  };

  virtual ~IFeature00d0DFU() = default;
  // Sends the start block. status := payload byte 4, response := the whole payload (both may be
  // null); fires no event. An answer without a status byte fails with CommandResponseTooShort.
  virtual bool DFUStart(Bytes block, int* status, Bytes* response) = 0;
  // Sends data as packet n + 1 with function (n + 1) & 3; on success fires onDfuStatus(n + 1,
  // payload), to direct subscribers before it returns.
  virtual bool DFUSendPacket(unsigned n, Bytes data) = 0;
  // Asks the device to restart; the answer carries nothing.
  virtual bool DFURestart(Byte value) = 0;
};

// Defined with Feature00d0DFU; see IFeatureForceInclusion0000.
class IFeatureForceInclusion00d0 {
 public:
  IFeatureForceInclusion00d0();
};
[[maybe_unused]] static const IFeatureForceInclusion00d0 forceInclusion00d0;

}  // namespace devio
