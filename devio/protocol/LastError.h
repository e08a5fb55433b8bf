#pragma once

#include <cstdint>

#include "devio/protocol/ErrorCode.h"

namespace devio {

// The calling thread's record of the last failure. A failing library operation writes all
// three fields before it returns; the caller reads them at once on the same thread.
struct LastError {
  ErrorCode code = Success;
  std::uint32_t detail = 0;   // raw protocol error byte, system error, software id, or 0
  const char* message = nullptr;  // constant text or null

  static LastError get();
  static void set(ErrorCode code, std::uint32_t detail = 0, const char* message = nullptr);
  static void set(const LastError& error);
};

}  // namespace devio
