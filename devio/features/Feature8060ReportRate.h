#pragma once

#include <memory>

#include "devio/features/IFeature8060ReportRate.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature8060ReportRate : public Feature, public IFeature8060ReportRate {
 public:
  static constexpr unsigned Id = 0x8060;

  Feature8060ReportRate(int index, std::weak_ptr<IDevice> device);

  bool GetReportRateList(int* rates) override;
  bool GetReportRate(int* interval) override;
  bool SetReportRate(int interval) override;
};

}  // namespace devio
