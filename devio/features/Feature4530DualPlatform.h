#pragma once

#include <memory>

#include "devio/features/IFeature4530DualPlatform.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature4530DualPlatform : public Feature,
                                public IFeature4530DualPlatform,
                                public Producer<IFeature4530DualPlatform::Report> {
 public:
  static constexpr unsigned Id = 0x4530;

  Feature4530DualPlatform(int index, std::weak_ptr<IDevice> device);

  bool GetPlatform(int* platform) override;
  bool SetPlatform(int platform) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
