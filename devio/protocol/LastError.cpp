#include "devio/protocol/LastError.h"

namespace devio {

namespace {
thread_local LastError tlsLastError;
}

LastError LastError::get() { return tlsLastError; }

void LastError::set(ErrorCode code, std::uint32_t detail, const char* message) {
  tlsLastError = LastError{code, detail, message};
}

void LastError::set(const LastError& error) { tlsLastError = error; }

}  // namespace devio
