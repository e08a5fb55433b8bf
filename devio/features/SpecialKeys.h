#pragma once

#include <cstddef>
#include <cstdint>

#include "devio/protocol/Byte.h"

// What the special-keys members (0x1B00, 0x1B03, 0x1B04) share: the layout of a control's
// description and of its reporting.
namespace devio {

// A control's reporting as functions carry it: [control high, low, flags, remap high, low].
// Flags: bit 0 diverted, bit 1 the diversion persists.
struct PendingReportingChange {
  std::uint16_t control = 0;
  Byte flags = 0;
  std::uint16_t remap = 0;
};

// A control's description, [control high, low, task high, low, flags, position, group, group
// mask, additional flags]; the last four are 0 when the device sends only the first five bytes.
struct ControlInfo {
  unsigned control = 0;
  unsigned task = 0;
  Byte flags = 0;
  unsigned position = 0;
  unsigned group = 0;
  Byte groupMask = 0;
  Byte additionalFlags = 0;
};

constexpr std::size_t ControlInfoMinimum = 5;
constexpr std::size_t ReportingMinimum = 3;
// A key notification carries four control ids.
constexpr std::size_t KeyChangeLength = 8;

Bytes reportingParams(const PendingReportingChange& change);
// From at least ReportingMinimum bytes; a remap the payload does not hold reads as 0.
PendingReportingChange reportingOf(const Bytes& payload);
// From at least ControlInfoMinimum bytes.
ControlInfo controlInfoOf(Bytes payload);

}  // namespace devio
