#pragma once

#include <memory>

#include "devio/features/IFeature6010Gestures.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature6010Gestures : public Feature, public IFeature6010Gestures, public Producer<IFeature6010Gestures::Report> {
 public:
  static constexpr unsigned Id = 0x6010;

  Feature6010Gestures(int index, std::weak_ptr<IDevice> device);

  bool GetEnabledGestures(int* mask) override;
  bool SetEnabledGestures(int mask) override;
};

}  // namespace devio
