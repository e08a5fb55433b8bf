#pragma once

#include <vector>

namespace devio {

// Gaming attachments (0x8120): weights, grips and covers attached to the device.
// Function 1 and the event: [count, attachment ids].
class IFeature8120GamingAttachments {
 public:
  enum class AttachmentId : unsigned { None = 0, Weight = 1, Grip = 2, Cover = 3, Sideplate = 4 };

  class Report {
   public:
    virtual void onAttachmentChanged(const std::vector<AttachmentId>& /*attachments*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature8120GamingAttachments() = default;
  virtual bool GetCapabilities(int* slots) = 0;
  virtual bool GetAttachments(std::vector<AttachmentId>* attachments) = 0;
  virtual bool SetAttachmentReporting(bool enable) = 0;
};

// Defined with Feature8120GamingAttachments; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8120 {
 public:
  IFeatureForceInclusion8120();
};
[[maybe_unused]] static const IFeatureForceInclusion8120 forceInclusion8120;

}  // namespace devio
