#pragma once

#include <memory>

#include "devio/features/IFeature2400HybridTracking.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature2400HybridTracking : public Feature,
                                  public IFeature2400HybridTracking,
                                  public Producer<IFeature2400HybridTracking::Report> {
 public:
  static constexpr unsigned Id = 0x2400;

  Feature2400HybridTracking(int index, std::weak_ptr<IDevice> device);

  bool IsHybridEngineEnabled(bool* enabled) override;
  bool EnableHybridEngine(bool enabled) override;
  bool GetHybridReportingMode(int* mode) override;
  bool SetHybridReportingMode(int mode) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
