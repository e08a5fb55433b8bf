#pragma once

#include <cstdint>
#include <stdexcept>

#include "devio/protocol/LastError.h"

namespace devio {

// Thrown only where a platform resource cannot be set up; the bus operation that needed
// the resource catches it and turns it into the thread's LastError.
class DevioException : public std::runtime_error {
 public:
  DevioException(ErrorCode code, std::uint32_t detail, const char* message)
      : std::runtime_error(message ? message : ""), code(code), detail(detail), message(message) {}

  // Copies the three fields into the calling thread's LastError.
  void record() const { LastError::set(code, detail, message); }

  ErrorCode code;
  std::uint32_t detail;
  const char* message;
};

}  // namespace devio
