#include "devio/features/Feature2201AdjustableDPI.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2201AdjustableDPI::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2201AdjustableDPI>(Feature2201AdjustableDPI::Id);

enum Function : int {
  GetSensorCountFunction = 0,
  GetSensorDPIListFunction = 1,
  GetSensorDPIFunction = 2,
  SetSensorDPIFunction = 3,
};

std::vector<int> dpiList(const Bytes& payload) {
  std::vector<int> dpis;
  for (std::size_t i = 1; i + 1 < payload.size(); i += 2) {
    const int dpi = payload[i] << 8 | payload[i + 1];
    if (dpi == 0) break;
    dpis.push_back(dpi);
  }
  return dpis;
}
}  // namespace

IFeatureForceInclusion2201::IFeatureForceInclusion2201() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2201AdjustableDPI",
                     "devio::IFeatureForceInclusion2201::IFeatureForceInclusion2201", "Devio: Feature2201 included");
}

Feature2201AdjustableDPI::Feature2201AdjustableDPI(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2201AdjustableDPI::GetSensorCount(int* count) {
  Bytes p;
  if (!query(GetSensorCountFunction, {}, 1, p, true)) return false;
  store(count, p[0]);
  return true;
}

bool Feature2201AdjustableDPI::GetSensorDPIList(int sensor, std::vector<int>* dpis) {
  Bytes p;
  if (!query(GetSensorDPIListFunction, {lowByte(sensor)}, 1, p, true)) return false;
  store(dpis, dpiList(p));
  return true;
}

bool Feature2201AdjustableDPI::GetSensorDPI(int sensor, int* dpi) {
  Bytes p;
  if (!query(GetSensorDPIFunction, {lowByte(sensor)}, 3, p)) return false;
  store(dpi, bigEndian16(p, 1));
  return true;
}

bool Feature2201AdjustableDPI::GetDefaultDPI(int sensor, int* dpi) {
  Bytes p;
  if (!query(GetSensorDPIFunction, {lowByte(sensor)}, 5, p, true)) return false;
  store(dpi, bigEndian16(p, 3));
  return true;
}

bool Feature2201AdjustableDPI::SetSensorDPI(int sensor, int dpi) {
  return change(FN(SetSensorDPI), SetSensorDPIFunction, {lowByte(sensor), highByte(dpi), lowByte(dpi)});
}

bool Feature2201AdjustableDPI::IsSupportedDPI(int sensor, int dpi, bool* supported) {
  std::vector<int> dpis;
  if (!GetSensorDPIList(sensor, &dpis)) return false;
  store(supported, std::find(dpis.begin(), dpis.end(), dpi) != dpis.end());
  return true;
}

}  // namespace devio
