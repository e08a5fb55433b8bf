#pragma once

#include <memory>

#include "devio/features/IFeature8030MR.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8030MR : public Feature, public IFeature8030MR, public Producer<IFeature8030MR::Report> {
 public:
  static constexpr unsigned Id = 0x8030;

  Feature8030MR(int index, std::weak_ptr<IDevice> device);

  bool SetLED(bool on) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
