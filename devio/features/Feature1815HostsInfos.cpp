#include "devio/features/Feature1815HostsInfos.h"

#include <algorithm>
#include <string>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1815HostsInfos::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1815HostsInfos>(Feature1815HostsInfos::Id);

enum Function : int {
  GetFeatureInfosFunction = 0,
  GetHostInfosFunction = 1,
  GetHostFriendlyNameFunction = 2,
  SetHostFriendlyNameFunction = 3,
  MoveHostFunction = 4,
  DeleteHostFunction = 5,
  SetHostDescriptorFunction = 6,
  GetHostOSVersionFunction = 7,
  SetHostOSVersionFunction = 8,
};

Bytes withText(Bytes params, const std::string& text) {
  params.insert(params.end(), text.begin(), text.end());
  return params;
}

Bytes withBytes(Bytes params, const Bytes& data) {
  params.insert(params.end(), data.begin(), data.end());
  return params;
}
}  // namespace

Feature1815HostsInfos::Feature1815HostsInfos(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1815HostsInfos::GetFeatureInfos(int* capabilities, int* count, int* current) {
  Bytes p;
  if (!query(GetFeatureInfosFunction, {}, 3, p)) return false;
  store(capabilities, p[0]);
  store(count, p[1]);
  store(current, p[2]);
  return true;
}

bool Feature1815HostsInfos::GetHostInfos(int host, int* status, int* busType, int* nameLength, int* maxNameLength) {
  Bytes p;
  if (!query(GetHostInfosFunction, {lowByte(host)}, 5, p)) return false;
  store(status, p[1]);
  store(busType, p[2]);
  store(nameLength, p[3]);
  store(maxNameLength, p[4]);
  return true;
}

bool Feature1815HostsInfos::GetHostFriendlyName(int host, int offset, std::string* piece) {
  Bytes p;
  if (!query(GetHostFriendlyNameFunction, {lowByte(host), lowByte(offset)}, 0, p)) return false;
  store(piece, std::string(p.begin(), std::find(p.begin(), p.end(), Byte{0})));
  return true;
}

bool Feature1815HostsInfos::GetHostFriendlyName(int host, std::string* name) {
  int length = 0;
  return GetHostInfos(host, nullptr, nullptr, &length, nullptr) &&
         readText(GetHostFriendlyNameFunction, {lowByte(host)}, static_cast<std::size_t>(length), name);
}

bool Feature1815HostsInfos::SetHostFriendlyName(int host, int offset, const std::string& piece) {
  return change(FN(SetHostFriendlyName), SetHostFriendlyNameFunction,
                withText({lowByte(host), lowByte(offset)}, piece));
}

bool Feature1815HostsInfos::MoveHost(int host, int position) {
  return change(FN(MoveHost), MoveHostFunction, {lowByte(host), lowByte(position)});
}

bool Feature1815HostsInfos::DeleteHost(int host) { return change(FN(DeleteHost), DeleteHostFunction, {lowByte(host)}); }

bool Feature1815HostsInfos::SetHostDescriptor(int host, const Bytes& descriptor) {
  return change(FN(SetHostDescriptor), SetHostDescriptorFunction, withBytes({lowByte(host)}, descriptor));
}

bool Feature1815HostsInfos::GetHostOSVersion(int host, int* os, int* major, int* minor) {
  Bytes p;
  if (!query(GetHostOSVersionFunction, {lowByte(host)}, 4, p)) return false;
  store(os, p[1]);
  store(major, p[2]);
  store(minor, p[3]);
  return true;
}

bool Feature1815HostsInfos::SetHostOSVersion(int host, int os, int major, int minor) {
  return change(FN(SetHostOSVersion), SetHostOSVersionFunction,
                {lowByte(host), lowByte(os), lowByte(major), lowByte(minor)});
}

}  // namespace devio
