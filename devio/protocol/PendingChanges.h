#pragma once

#include <functional>
#include <vector>

#include "devio/protocol/ErrorCode.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

// The setting changes a member could not write while its device was away, in request order,
// replayed through the member's immediate form when the device is configured again. Not locked:
// a request and a replay of one member never run at the same time.
template <class Change>
class PendingChanges {
 public:
  using Write = std::function<bool(const Change&)>;

  // Writes change through now. When that fails with NotConnected the change is kept and the
  // feature queued for replay, and the request succeeds with LastError cleared. A feature that
  // cannot be queued (during its own replay) fails with "set_pending failed" logged and keeps
  // nothing: an entry added while the list is replayed would be lost or replayed out of order.
  bool request(Feature& feature, const char* operation, const char* cachingMessage, const Change& change,
               const Write& now) {
    if (now(change)) return true;
    if (LastError::get().code != NotConnected) return false;
    featureLog(operation, LogInfo, "%s", cachingMessage);
    if (!feature.set_pending()) {
      featureLog(operation, LogInfo, "set_pending failed");
      return false;
    }
    changes_.push_back(change);
    LastError::set(Success);
    return true;
  }

  // Writes every kept change in order; stops with false at the first failure and keeps the
  // whole list, so the next replay starts again from the first entry.
  bool replay(const Write& now) {
    for (const Change& change : changes_)
      if (!now(change)) return false;
    changes_.clear();
    return true;
  }

  const std::vector<Change>& entries() const { return changes_; }

 private:
  std::vector<Change> changes_;
};

}  // namespace devio
