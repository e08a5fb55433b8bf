#include "devio/features/Feature0005DeviceNameType.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature0005DeviceNameType>(Feature0005DeviceNameType::Id);

enum Function : int {
  GetCountFunction = 0,
  GetDeviceNameFunction = 1,
  GetDeviceTypeFunction = 2,
};

const char* typeName(int type) {
  static constexpr std::array<const char*, 8> names{"keyboard", "remote control", "numpad",    "mouse",
                                                    "trackpad", "trackball",      "presenter", "receiver"};
  return type >= 0 && type < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(type)] : "unknown";
}
}  // namespace

IFeatureForceInclusion0005::IFeatureForceInclusion0005() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature0005DeviceNameType",
                     "devio::IFeatureForceInclusion0005::IFeatureForceInclusion0005", "Devio: Feature0005 included");
}

Feature0005DeviceNameType::Feature0005DeviceNameType(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature0005DeviceNameType::GetCount(int* length) {
  Bytes p;
  if (!query(GetCountFunction, {}, 1, p, true)) return false;
  store(length, p[0]);
  return true;
}

bool Feature0005DeviceNameType::GetDeviceName(std::string* name) {
  int length = 0;
  std::string read;
  if (!GetCount(&length) || !readText(GetDeviceNameFunction, {}, static_cast<std::size_t>(length), &read, true))
    return false;
  {
    std::lock_guard lock(nameMutex_);
    name_ = read;
  }
  store(name, read);
  return true;
}

bool Feature0005DeviceNameType::GetDeviceName(int offset, std::string* piece) {
  Bytes p;
  if (!query(GetDeviceNameFunction, {lowByte(offset)}, 0, p, true)) return false;
  store(piece, std::string(p.begin(), std::find(p.begin(), p.end(), Byte{0})));
  return true;
}

bool Feature0005DeviceNameType::GetDeviceType(int* type) {
  Bytes p;
  if (!query(GetDeviceTypeFunction, {}, 1, p, true)) return false;
  store(type, p[0]);
  return true;
}

bool Feature0005DeviceNameType::GetDeviceType(std::string* type) {
  int code = 0;
  if (!GetDeviceType(&code)) return false;
  store(type, typeName(code));
  return true;
}

std::string Feature0005DeviceNameType::deviceName() {
  std::lock_guard lock(nameMutex_);
  return name_;
}

}  // namespace devio
