#pragma once

#include <memory>

#include "devio/features/IFeature4220LockKeyState.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature4220LockKeyState : public Feature,
                                public IFeature4220LockKeyState,
                                public Producer<IFeature4220LockKeyState::Report> {
 public:
  static constexpr unsigned Id = 0x4220;

  Feature4220LockKeyState(int index, std::weak_ptr<IDevice> device);

  bool GetLockState(int* state) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
