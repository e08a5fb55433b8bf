#include "devio/features/Feature8120GamingAttachments.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature8120GamingAttachments>(Feature8120GamingAttachments::Id);

enum Function : int {
  GetCapabilitiesFunction = 0,
  GetAttachmentsFunction = 1,
  SetAttachmentReportingFunction = 2,
};

std::vector<IFeature8120GamingAttachments::AttachmentId> attachmentsOf(const Bytes& payload) {
  std::vector<IFeature8120GamingAttachments::AttachmentId> ids;
  const std::size_t count = std::min<std::size_t>(payload[0], payload.size() - 1);
  for (std::size_t i = 1; i <= count; ++i) ids.push_back(IFeature8120GamingAttachments::AttachmentId{payload[i]});
  return ids;
}
}  // namespace

IFeatureForceInclusion8120::IFeatureForceInclusion8120() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8120GamingAttachments",
                     "devio::IFeatureForceInclusion8120::IFeatureForceInclusion8120", "Devio: Feature8120 included");
}

Feature8120GamingAttachments::Feature8120GamingAttachments(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8120GamingAttachments::GetCapabilities(int* slots) {
  Bytes p;
  if (!query(GetCapabilitiesFunction, {}, 1, p)) return false;
  store(slots, p[0]);
  return true;
}

bool Feature8120GamingAttachments::GetAttachments(std::vector<AttachmentId>* attachments) {
  Bytes p;
  if (!query(GetAttachmentsFunction, {}, 1, p)) return false;
  store(attachments, attachmentsOf(p));
  return true;
}

bool Feature8120GamingAttachments::SetAttachmentReporting(bool enable) {
  return command(SetAttachmentReportingFunction, {Byte{enable}});
}

void Feature8120GamingAttachments::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature8120GamingAttachments::Report::onAttachmentChanged", &Report::onAttachmentChanged,
         attachmentsOf(payload));
}

}  // namespace devio
