#pragma once

#include <memory>

#include "devio/features/IFeature1001BatteryVoltage.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1001BatteryVoltage : public Feature,
                                  public IFeature1001BatteryVoltage,
                                  public Producer<IFeature1001BatteryVoltage::Report> {
 public:
  static constexpr unsigned Id = 0x1001;

  Feature1001BatteryVoltage(int index, std::weak_ptr<IDevice> device);

  bool GetBatteryVoltage(BatteryInfo* info) override;
  bool ShowBatteryStatus() override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
