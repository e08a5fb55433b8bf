#pragma once

#include <memory>

#include "devio/features/IFeature1BC0ReportHIDUsages.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1BC0ReportHIDUsages : public Feature,
                                   public IFeature1BC0ReportHIDUsages,
                                   public Producer<IFeature1BC0ReportHIDUsages::Report> {
 public:
  static constexpr unsigned Id = 0x1BC0;

  Feature1BC0ReportHIDUsages(int index, std::weak_ptr<IDevice> device);

  bool DisableReporting() override;
  bool SetReporting(bool enabled) override;
  bool GetReporting(bool* enabled) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
