#pragma once

namespace devio {

// Report rate (0x8060). Function 0: -> [supported rates, bit n for n + 1 ms]; functions 1 and 2: [interval in ms].
class IFeature8060ReportRate {
 public:
  virtual ~IFeature8060ReportRate() = default;
  virtual bool GetReportRateList(int* rates) = 0;
  virtual bool GetReportRate(int* interval) = 0;
  virtual bool SetReportRate(int interval) = 0;
};

// Defined with Feature8060ReportRate; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8060 {
 public:
  IFeatureForceInclusion8060();
};
[[maybe_unused]] static const IFeatureForceInclusion8060 forceInclusion8060;

}  // namespace devio
