#include "devio/features/Feature1F1FFirmwareProperties.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"

#define FN(name) "devio::Feature1F1FFirmwareProperties::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature1F1FFirmwareProperties>(Feature1F1FFirmwareProperties::Id);

enum Function : int {
  GetCountFunction = 0,
  GetPropertyInfoFunction = 1,
  SelectPropertyFunction = 2,
  ReadPropertyFunction = 3,
  WritePropertyFunction = 4,
  ClearPropertyFunction = 5,
  GetPropertyStateFunction = 6,
};
}  // namespace

IFeatureForceInclusion1F1F::IFeatureForceInclusion1F1F() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1F1FFirmwareProperties",
                     "devio::IFeatureForceInclusion1F1F::IFeatureForceInclusion1F1F", "Devio: Feature1F1F included");
}

Feature1F1FFirmwareProperties::Feature1F1FFirmwareProperties(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1F1FFirmwareProperties::GetCount(int* count) {
  Bytes p;
  if (!query(GetCountFunction, {}, 1, p)) return false;
  store(count, p[0]);
  return true;
}

bool Feature1F1FFirmwareProperties::GetPropertyInfo(int index, int* id, int* flags, int* size) {
  Bytes p;
  if (!query(GetPropertyInfoFunction, {lowByte(index)}, 4, p)) return false;
  store(id, p[0]);
  store(flags, p[1]);
  store(size, bigEndian16(p, 2));
  return true;
}

bool Feature1F1FFirmwareProperties::SelectProperty(int id, int offset) {
  return command(SelectPropertyFunction, {lowByte(id), highByte(offset), lowByte(offset)});
}

bool Feature1F1FFirmwareProperties::ReadProperty(Bytes* data) {
  Bytes p;
  if (!query(ReadPropertyFunction, {}, 0, p)) return false;
  store(data, p);
  return true;
}

bool Feature1F1FFirmwareProperties::WriteProperty(const Bytes& data) {
  return change(FN(WriteProperty), WritePropertyFunction, data);
}

bool Feature1F1FFirmwareProperties::ClearProperty(int id) {
  return change(FN(ClearProperty), ClearPropertyFunction, {lowByte(id)});
}

bool Feature1F1FFirmwareProperties::GetPropertyState(int id, int* state) {
  Bytes p;
  if (!query(GetPropertyStateFunction, {lowByte(id)}, 2, p)) return false;
  store(state, p[1]);
  return true;
}

bool Feature1F1FFirmwareProperties::LoadProperties() {
  int count = 0;
  if (!GetCount(&count)) return false;
  std::vector<std::shared_ptr<Feature1F1FFirmwareProperty>> loaded;
  for (int index = 0; index < count; ++index) {
    int id = 0, flags = 0, size = 0;
    if (!GetPropertyInfo(index, &id, &flags, &size)) return false;
    loaded.push_back(std::make_shared<Feature1F1FFirmwareProperty>(id, flags, size));
  }
  std::lock_guard lock(mutex_);
  properties_ = std::move(loaded);
  return true;
}

bool Feature1F1FFirmwareProperties::PropertyCount(int* count) {
  std::lock_guard lock(mutex_);
  store(count, properties_.size());
  return true;
}

bool Feature1F1FFirmwareProperties::GetProperty(int index, std::shared_ptr<IFeature1F1FFirmwareProperty>* property) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= properties_.size()) {
    LastError::set(IndexOutOfRange);
    return false;
  }
  store(property, properties_[static_cast<std::size_t>(index)]);
  return true;
}

void Feature1F1FFirmwareProperties::onFeatureReport(int function, const Bytes& payload) {
  if (function != 0 || payload.empty()) return;
  fire("Feature1F1FFirmwareProperties::Report::onPropertyChanged", &Report::onPropertyChanged, unsigned{payload[0]});
  std::vector<std::shared_ptr<Feature1F1FFirmwareProperty>> properties;
  {
    std::lock_guard lock(mutex_);
    properties = properties_;
  }
  for (const auto& property : properties)
    if (property->propertyId() == payload[0]) property->changed();
}

}  // namespace devio
