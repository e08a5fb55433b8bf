#pragma once

#include <memory>

#include "devio/features/IFeature8120GamingAttachments.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8120GamingAttachments : public Feature,
                                     public IFeature8120GamingAttachments,
                                     public Producer<IFeature8120GamingAttachments::Report> {
 public:
  static constexpr unsigned Id = 0x8120;

  Feature8120GamingAttachments(int index, std::weak_ptr<IDevice> device);

  bool GetCapabilities(int* slots) override;
  bool GetAttachments(std::vector<AttachmentId>* attachments) override;
  bool SetAttachmentReporting(bool enable) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
