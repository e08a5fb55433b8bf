#include "devio/features/SpecialKeys.h"

#include <algorithm>
#include <cstddef>

namespace devio {

namespace {
unsigned bigEndian16(const Bytes& payload, std::size_t offset) {
  return (unsigned{payload[offset]} << 8) | payload[offset + 1];
}
}  // namespace

Bytes reportingParams(const PendingReportingChange& change) {
  return {static_cast<Byte>(change.control >> 8), static_cast<Byte>(change.control), change.flags,
          static_cast<Byte>(change.remap >> 8), static_cast<Byte>(change.remap)};
}

PendingReportingChange reportingOf(const Bytes& payload) {
  const auto remap = payload.size() >= 5 ? bigEndian16(payload, 3) : 0;
  return {static_cast<std::uint16_t>(bigEndian16(payload, 0)), payload[2], static_cast<std::uint16_t>(remap)};
}

ControlInfo controlInfoOf(Bytes payload) {
  payload.resize(std::max<std::size_t>(payload.size(), 9));
  return {bigEndian16(payload, 0), bigEndian16(payload, 2), payload[4], payload[5], payload[6], payload[7], payload[8]};
}

}  // namespace devio
