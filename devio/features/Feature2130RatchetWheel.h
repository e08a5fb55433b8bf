#pragma once

#include <memory>

#include "devio/features/IFeature2130RatchetWheel.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature2130RatchetWheel : public Feature,
                                public IFeature2130RatchetWheel,
                                public Producer<IFeature2130RatchetWheel::Report> {
 public:
  static constexpr unsigned Id = 0x2130;

  Feature2130RatchetWheel(int index, std::weak_ptr<IDevice> device);

  bool GetWheelMode(int* mode) override;
  bool SetWheelMode(int mode) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
