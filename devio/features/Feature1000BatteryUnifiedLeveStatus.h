#pragma once

#include <memory>

#include "devio/features/IFeature1000BatteryUnifiedLevelStatus.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1000BatteryUnifiedLeveStatus : public Feature,
                                            public IFeature1000BatteryUnifiedLevelStatus,
                                            public Producer<IFeature1000BatteryUnifiedLevelStatus::Report> {
 public:
  static constexpr unsigned Id = 0x1000;

  Feature1000BatteryUnifiedLeveStatus(int index, std::weak_ptr<IDevice> device);

  bool GetBatteryLevelStatus(int* level, int* nextLevel, int* status) override;
  bool GetBatteryCapability(int* levels, int* flags) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
