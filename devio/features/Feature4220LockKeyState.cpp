#include "devio/features/Feature4220LockKeyState.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature4220LockKeyState>(Feature4220LockKeyState::Id);

enum Function : int {
  GetLockStateFunction = 0,
};
}  // namespace

IFeatureForceInclusion4220::IFeatureForceInclusion4220() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature4220LockKeyState", "devio::IFeatureForceInclusion4220::IFeatureForceInclusion4220",
                     "Devio: Feature4220 included");
}

Feature4220LockKeyState::Feature4220LockKeyState(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature4220LockKeyState::GetLockState(int* state) {
  Bytes p;
  if (!query(GetLockStateFunction, {}, 1, p)) return false;
  store(state, p[0]);
  return true;
}

void Feature4220LockKeyState::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature4220LockKeyState::Report::onLockKeyChange", &Report::onLockKeyChange, short{payload[0]});
}

}  // namespace devio
