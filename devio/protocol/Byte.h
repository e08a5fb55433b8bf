#pragma once

#include <cstdint>
#include <vector>

namespace devio {

// One report byte; reports, requests and payloads always carry the report id as element 0.
using Byte = std::uint8_t;
using Bytes = std::vector<Byte>;

}  // namespace devio
