#pragma once

#include <memory>

#include "devio/features/IFeature1981KeyboardBacklight.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1981KeyboardBacklight : public Feature,
                                     public IFeature1981KeyboardBacklight,
                                     public Producer<IFeature1981KeyboardBacklight::Report> {
 public:
  static constexpr unsigned Id = 0x1981;

  Feature1981KeyboardBacklight(int index, std::weak_ptr<IDevice> device);

  bool GetBacklightDuration(int* level, int* duration, int* status) override;
  bool SetBacklightDuration(int level, int duration) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
