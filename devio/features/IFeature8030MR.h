#pragma once

namespace devio {

// Macro record key (0x8030): its light, [on], and its presses, [pressed].
class IFeature8030MR {
 public:
  class Report {
   public:
    virtual void onButtonReport(const bool& /*pressed*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8030MR() = default;
  virtual bool SetLED(bool on) = 0;
};

// Defined with Feature8030MR; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8030 {
 public:
  IFeatureForceInclusion8030();
};
[[maybe_unused]] static const IFeatureForceInclusion8030 forceInclusion8030;

}  // namespace devio
