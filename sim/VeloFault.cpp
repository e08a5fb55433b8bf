#include "sim/VeloFault.h"

namespace sim {

VeloFault VeloFault::late(std::chrono::milliseconds delay) {
  VeloFault fault(Kind::Late);
  fault.delay = delay;
  return fault;
}

VeloFault VeloFault::velo10Error(devio::Byte code) {
  VeloFault fault(Kind::Velo10Error);
  fault.code = code;
  return fault;
}

VeloFault VeloFault::velo20Error(devio::Byte code) {
  VeloFault fault(Kind::Velo20Error);
  fault.code = code;
  return fault;
}

VeloFault VeloFault::foreignSoftwareId(unsigned softwareId) {
  VeloFault fault(Kind::ForeignSoftwareId);
  fault.softwareId = softwareId & 0x0F;
  return fault;
}

VeloFault VeloFault::unsolicitedForeign(unsigned softwareId) {
  VeloFault fault(Kind::UnsolicitedForeign);
  fault.softwareId = softwareId & 0x0F;
  return fault;
}

VeloFault& VeloFault::times(int n) {
  count = n;
  return *this;
}

VeloFault& VeloFault::on(devio::Byte featureIndex) {
  featureIndex_ = featureIndex;
  function_.reset();
  return *this;
}

VeloFault& VeloFault::on(devio::Byte featureIndex, unsigned function) {
  featureIndex_ = featureIndex;
  function_ = function & 0x0F;
  return *this;
}

bool VeloFault::matches(const devio::Bytes& request) const {
  if (request.size() < 4) return !featureIndex_;
  if (featureIndex_ && request[2] != *featureIndex_) return false;
  return !function_ || unsigned(request[3] >> 4) == *function_;
}

}  // namespace sim
