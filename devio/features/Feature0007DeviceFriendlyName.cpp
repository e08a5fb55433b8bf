#include "devio/features/Feature0007DeviceFriendlyName.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature0007DeviceFriendlyName::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature0007DeviceFriendlyName>(Feature0007DeviceFriendlyName::Id);

enum Function : int {
  GetFriendlyNameLenFunction = 0,
  GetFriendlyNameFunction = 1,
  GetDefaultFriendlyNameFunction = 2,
  SetFriendlyNameFunction = 3,
  ResetFriendlyNameFunction = 4,
};

constexpr std::size_t PieceLength = 15;
}  // namespace

IFeatureForceInclusion0007::IFeatureForceInclusion0007() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature0007DeviceFriendlyName",
                     "devio::IFeatureForceInclusion0007::IFeatureForceInclusion0007", "Devio: Feature0007 included");
}

Feature0007DeviceFriendlyName::Feature0007DeviceFriendlyName(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature0007DeviceFriendlyName::GetFriendlyNameLen(int* length, int* maxLength, int* defaultLength) {
  Bytes p;
  if (!query(GetFriendlyNameLenFunction, {}, 3, p)) return false;
  store(length, p[0]);
  store(maxLength, p[1]);
  store(defaultLength, p[2]);
  return true;
}

bool Feature0007DeviceFriendlyName::GetFriendlyName(std::string* name) {
  int length = 0;
  return GetFriendlyNameLen(&length, nullptr, nullptr) && GetFriendlyName(length, name);
}

bool Feature0007DeviceFriendlyName::GetFriendlyName(int length, std::string* name) {
  return GetNameHelper(GetFriendlyNameFunction, length, name);
}

bool Feature0007DeviceFriendlyName::GetDefaultFriendlyName(std::string* name) {
  int length = 0;
  return GetFriendlyNameLen(nullptr, nullptr, &length) && GetDefaultFriendlyName(length, name);
}

bool Feature0007DeviceFriendlyName::GetDefaultFriendlyName(int length, std::string* name) {
  return GetNameHelper(GetDefaultFriendlyNameFunction, length, name);
}

bool Feature0007DeviceFriendlyName::SetFriendlyName(const std::string& name) {
  for (std::size_t offset = 0; offset < name.size(); offset += PieceLength)
    if (!SetFriendlyName(static_cast<int>(offset), name.substr(offset, PieceLength))) return false;
  return true;
}

bool Feature0007DeviceFriendlyName::SetFriendlyName(int offset, const std::string& piece) {
  Bytes params{lowByte(offset)};
  params.insert(params.end(), piece.begin(), piece.end());
  return change(FN(SetFriendlyName), SetFriendlyNameFunction, params);
}

bool Feature0007DeviceFriendlyName::ResetFriendlyName() {
  return change(FN(ResetFriendlyName), ResetFriendlyNameFunction, {});
}

bool Feature0007DeviceFriendlyName::GetNameHelper(int function, int length, std::string* name) {
  return readText(function, {}, static_cast<std::size_t>(length), name);
}

}  // namespace devio
