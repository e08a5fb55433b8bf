#pragma once

#include <chrono>
#include <optional>

#include "devio/protocol/Byte.h"

namespace sim {

// One fault rule of a SimulatedVeloDevice: what goes wrong, for how many of the next requests,
// and (optionally) only for requests to one feature index or one (feature index, function).
// Rules are built with the factories and refined with times() and on():
//   device->inject(VeloFault::noAnswer().times(3).on(0x02, 1));
//
// Except for the error answers and disconnect, the device still acts on the request (stores a
// cookie, runs a programmed function); only its answer is changed.
class VeloFault {
 public:
  enum class Kind {
    NoAnswer,            // the request is never answered
    Held,                // the answer is kept back until SimulatedVeloDevice::releaseHeld()
    Late,                // the answer arrives when the device's clock has moved on by delay
    Velo10Error,         // a Velo 1.0 error response (0x8F layout) with code instead of the answer
    Velo20Error,         // a Velo 2.0 error response (0xFF layout) with code instead of the answer
    ForeignSoftwareId,   // the answer carries softwareId in the low nibble of its function byte,
                         // so the host takes it for another program's response
    UnsolicitedForeign,  // before the answer, a Root response of another program that uses
                         // softwareId and answers no request of the host (a software-id conflict
                         // when softwareId is the host's own)
    Stale,               // the answer to the previous request comes instead of this one's (nothing
                         // when the previous request got no answer)
    Disconnect,          // the channel is pulled as the request arrives; no answer
  };

  static VeloFault noAnswer() { return VeloFault(Kind::NoAnswer); }
  static VeloFault held() { return VeloFault(Kind::Held); }
  static VeloFault late(std::chrono::milliseconds delay);
  static VeloFault velo10Error(devio::Byte code);
  static VeloFault velo20Error(devio::Byte code);
  static VeloFault foreignSoftwareId(unsigned softwareId);
  static VeloFault unsolicitedForeign(unsigned softwareId);
  static VeloFault stale() { return VeloFault(Kind::Stale); }
  static VeloFault disconnect() { return VeloFault(Kind::Disconnect); }

  // Applies to the next n matching requests (1 by default).
  VeloFault& times(int n);
  // Applies only to requests to this feature index (byte 2), and this function when given.
  VeloFault& on(devio::Byte featureIndex);
  VeloFault& on(devio::Byte featureIndex, unsigned function);

  bool matches(const devio::Bytes& request) const;

  Kind kind;
  int count = 1;
  devio::Byte code = 0;
  unsigned softwareId = 0;
  std::chrono::milliseconds delay{0};

 private:
  explicit VeloFault(Kind k) : kind(k) {}

  std::optional<devio::Byte> featureIndex_;
  std::optional<unsigned> function_;
};

}  // namespace sim
