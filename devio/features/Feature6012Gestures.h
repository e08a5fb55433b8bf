#pragma once

#include <memory>

#include "devio/features/IFeature6012Gestures.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature6012Gestures : public Feature, public IFeature6012Gestures, public Producer<IFeature6012Gestures::Report> {
 public:
  static constexpr unsigned Id = 0x6012;

  Feature6012Gestures(int index, std::weak_ptr<IDevice> device);

  bool IsGestureEnabled(int gesture, bool* enabled) override;
  bool EnableGesture(int gesture, bool enabled) override;
};

}  // namespace devio
