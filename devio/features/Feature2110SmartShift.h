#pragma once

#include <memory>

#include "devio/features/IFeature2110SmartShift.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature2110SmartShift : public Feature, public IFeature2110SmartShift {
 public:
  static constexpr unsigned Id = 0x2110;

  Feature2110SmartShift(int index, std::weak_ptr<IDevice> device);

  bool GetRatchetControlMode(int* mode, int* autoDisengage, int* defaultAutoDisengage) override;
  bool SetRatchetControlMode(int mode, int autoDisengage, int defaultAutoDisengage) override;
};

}  // namespace devio
