#include "devio/features/Feature1806ConfigurableDeviceProperties.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1806ConfigurableDeviceProperties::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1806ConfigurableDeviceProperties>(Feature1806ConfigurableDeviceProperties::Id);

enum Function : int {
  GetPropertyInfoFunction = 0,
  SelectPropertyFunction = 1,
  ReadPropertyFunction = 2,
  WritePropertyFunction = 3,
};
}  // namespace

IFeatureForceInclusion1806::IFeatureForceInclusion1806() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1806ConfigurableDeviceProperties",
                     "devio::IFeatureForceInclusion1806::IFeatureForceInclusion1806", "Devio: Feature1806 included");
}

Feature1806ConfigurableDeviceProperties::Feature1806ConfigurableDeviceProperties(int index,
                                                                                 std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1806ConfigurableDeviceProperties::GetPropertyInfo(int property, int* size, int* flags) {
  Bytes p;
  if (!query(GetPropertyInfoFunction, {lowByte(property)}, 3, p, true)) return false;
  store(size, bigEndian16(p, 0));
  store(flags, p[2]);
  return true;
}

bool Feature1806ConfigurableDeviceProperties::SelectProperty(int property, int offset) {
  return command(SelectPropertyFunction, {lowByte(property), highByte(offset), lowByte(offset)});
}

bool Feature1806ConfigurableDeviceProperties::ReadProperty(Bytes* data) {
  Bytes p;
  if (!query(ReadPropertyFunction, {}, 0, p)) return false;
  store(data, p);
  return true;
}

bool Feature1806ConfigurableDeviceProperties::WriteProperty(const Bytes& data) {
  return change(FN(WriteProperty), WritePropertyFunction, data);
}

}  // namespace devio
