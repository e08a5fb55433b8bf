#pragma once

#include <memory>

#include "devio/features/IFeature2230AngleSnapping.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature2230AngleSnapping : public Feature, public IFeature2230AngleSnapping {
 public:
  static constexpr unsigned Id = 0x2230;

  Feature2230AngleSnapping(int index, std::weak_ptr<IDevice> device);

  bool GetAngleSnapping(bool* enabled) override;
  bool SetAngleSnapping(bool enabled) override;
};

}  // namespace devio
