#include "devio/runtime/NamedMutex.h"

#include <cstddef>
#include <cstdint>

#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

NamedMutex::NamedMutex(const std::string& name, bool heldForLife) : heldForLife_(heldForLife) {
  if (name.empty()) return;
  init(name);
  if (heldForLife_) lock();
}

NamedMutex::~NamedMutex() {
  if (heldForLife_) unlock();
  if (hMutex_ == nullptr) return;
  closeHost(hMutex_);
  xLog("Untagged", LogInfo, "NamedMutex::~NamedMutex", "closed handle 0x%08x (hMutex)",
       static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(hMutex_)));
}

bool NamedMutex::init(const std::string& name) {
  xLog("Untagged", LogDebug, "NamedMutex::init", "Mutex name: %s", name.c_str());
  hMutex_ = openHost(name);
  return hMutex_ != nullptr;
}

bool NamedMutex::lock() { return checkHandle() && lockHost(hMutex_); }

bool NamedMutex::unlock() { return checkHandle() && unlockHost(hMutex_); }

// Without a handle there is nothing to wait for or release: report it and go on.
bool NamedMutex::checkHandle() const {
  if (xAssert(hMutex_ != NULL)) return true;
  LastError::set(Unavailable, 0, "named mutex not open");
  return false;
}

}  // namespace devio
