#include "devio/features/Feature8010Gkey.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8010Gkey::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8010Gkey>(Feature8010Gkey::Id);

enum Function : int {
  GetCountFunction = 0,
  GetPhysicalLayoutFunction = 1,
  EnableSoftwareControlFunction = 2,
};
}  // namespace

IFeatureForceInclusion8010::IFeatureForceInclusion8010() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8010Gkey", "devio::IFeatureForceInclusion8010::IFeatureForceInclusion8010",
                     "Devio: Feature8010 included");
}

Feature8010Gkey::Feature8010Gkey(int index, std::weak_ptr<IDevice> device) : Feature(Id, index, std::move(device)) {}

bool Feature8010Gkey::GetCount(int* count) {
  Bytes p;
  if (!query(GetCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

bool Feature8010Gkey::GetPhysicalLayout(int* layout) {
  Bytes p;
  if (!query(GetPhysicalLayoutFunction, {}, 1, p, true)) return false;
  store(layout, p[0]);
  return true;
}

bool Feature8010Gkey::EnableSoftwareControl(bool enable) {
  return change(FN(EnableSoftwareControl), EnableSoftwareControlFunction, {Byte{enable}});
}

void Feature8010Gkey::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && !payload.empty())
    fire("Feature8010Gkey::Report::onButtonReport", &Report::onButtonReport, payload);
}

}  // namespace devio
