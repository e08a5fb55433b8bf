#pragma once

#include <memory>

#include "devio/features/IFeature2205PointerMotionScaling.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature2205PointerMotionScaling : public Feature, public IFeature2205PointerMotionScaling {
 public:
  static constexpr unsigned Id = 0x2205;

  Feature2205PointerMotionScaling(int index, std::weak_ptr<IDevice> device);

  bool GetPointerScalingValue(int* value) override;
  bool SetPointerScalingValue(int value) override;
};

}  // namespace devio
