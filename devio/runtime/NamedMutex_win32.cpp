#include <windows.h>

#include <string>

#include "devio/protocol/LastError.h"
#include "devio/runtime/NamedMutex.h"

namespace devio {
namespace {

bool fail(DWORD error) {
  LastError::set(GeneralError, error, "named mutex host call failed");
  return false;
}

}  // namespace

void* NamedMutex::openHost(const std::string& name) {
  // An empty or malformed name must not fall back to an unnamed, process-local mutex.
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                                       nullptr, 0);
  if (size <= 0) {
    fail(ERROR_INVALID_NAME);
    return nullptr;
  }
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), wide.data(), size);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
  if (mutex == nullptr) fail(GetLastError());
  return mutex;
}

bool NamedMutex::lockHost(void* handle) {
  switch (WaitForSingleObject(handle, INFINITE)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its owner ended while holding it: the mutex is ours
      return true;
    default:
      return fail(GetLastError());
  }
}

bool NamedMutex::unlockHost(void* handle) { return ReleaseMutex(handle) || fail(GetLastError()); }

void NamedMutex::closeHost(void* handle) { CloseHandle(handle); }

// Kernel mutexes vanish with their last handle.
bool NamedMutex::remove(const std::string&) { return true; }

}  // namespace devio
