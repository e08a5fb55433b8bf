#pragma once

namespace devio {

// Presenter control (0x1A00): the buttons of a presenter and how each reports.
// Function 1: [index] -> [control high, low, flags]; functions 2 and 3: [control high, low, reporting].
class IFeature1A00PresenterControl {
 public:
  virtual ~IFeature1A00PresenterControl() = default;
  virtual bool GetCount(int* count) = 0;
  virtual bool GetControlInfo(int index, int* control, int* flags) = 0;
  virtual bool GetControlReporting(int control, int* reporting) = 0;
  virtual bool SetControlReporting(int control, int reporting) = 0;
};

// Defined with Feature1A00PresenterControl; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1A00 {
 public:
  IFeatureForceInclusion1A00();
};
[[maybe_unused]] static const IFeatureForceInclusion1A00 forceInclusion1A00;

}  // namespace devio
