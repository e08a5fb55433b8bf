#pragma once

#include <memory>

#include "devio/features/IFeature8111LatencyMonitoring.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8111LatencyMonitoring : public Feature,
                                     public IFeature8111LatencyMonitoring,
                                     public Producer<IFeature8111LatencyMonitoring::Report> {
 public:
  static constexpr unsigned Id = 0x8111;

  Feature8111LatencyMonitoring(int index, std::weak_ptr<IDevice> device);

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
