#include "devio/features/Feature1800GenericTest.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1800GenericTest>(Feature1800GenericTest::Id);

enum Function : int {
  TestFunction = 0,
};
}  // namespace

IFeatureForceInclusion1800::IFeatureForceInclusion1800() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1800GenericTest", "devio::IFeatureForceInclusion1800::IFeatureForceInclusion1800",
                     "Devio: Feature1800 included");
}

Feature1800GenericTest::Feature1800GenericTest(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1800GenericTest::Test(const Bytes& data, Bytes* answer) {
  Bytes p;
  if (!query(TestFunction, data, 0, p)) return false;
  store(answer, p);
  return true;
}

void Feature1800GenericTest::onFeatureReport(int function, const Bytes& payload) {
  fire("Feature1800GenericTest::GenericResponse::onTestResponse", &GenericResponse::onTestResponse, function, payload);
}

}  // namespace devio
