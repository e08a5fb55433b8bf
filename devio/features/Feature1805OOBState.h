#pragma once

#include <memory>

#include "devio/features/IFeature1805OOBState.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1805OOBState : public Feature, public IFeature1805OOBState {
 public:
  static constexpr unsigned Id = 0x1805;

  Feature1805OOBState(int index, std::weak_ptr<IDevice> device);

  bool SetOobState() override;
};

}  // namespace devio
