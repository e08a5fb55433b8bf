#include "devio/features/Feature1F20ADCMeasurement.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature1F20ADCMeasurement::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1F20ADCMeasurement>(Feature1F20ADCMeasurement::Id);

enum Function : int {
  GetMeasurementFunction = 0,
  StartMeasurementFunction = 1,
  StopMeasurementFunction = 2,
  GetMeasurementConfigFunction = 3,
  SetMeasurementConfigFunction = 4,
};
}  // namespace

IFeatureForceInclusion1F20::IFeatureForceInclusion1F20() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature1F20ADCMeasurement",
                     "devio::IFeatureForceInclusion1F20::IFeatureForceInclusion1F20", "Devio: Feature1F20 included");
}

Feature1F20ADCMeasurement::Feature1F20ADCMeasurement(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature1F20ADCMeasurement::GetMeasurement(DeviceState* state) {
  Bytes p;
  if (!query(GetMeasurementFunction, {}, 3, p)) return false;
  store(state, DeviceState{bigEndian16(p, 0), p[2]});
  return true;
}

bool Feature1F20ADCMeasurement::StartMeasurement(int channel) {
  return command(StartMeasurementFunction, {lowByte(channel)});
}

bool Feature1F20ADCMeasurement::StopMeasurement() { return command(StopMeasurementFunction, {}); }

bool Feature1F20ADCMeasurement::GetMeasurementConfig(int* channel, int* period) {
  Bytes p;
  if (!query(GetMeasurementConfigFunction, {}, 2, p)) return false;
  store(channel, p[0]);
  store(period, p[1]);
  return true;
}

bool Feature1F20ADCMeasurement::SetMeasurementConfig(int channel, int period) {
  return change(FN(SetMeasurementConfig), SetMeasurementConfigFunction, {lowByte(channel), lowByte(period)});
}

void Feature1F20ADCMeasurement::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 3)
    fire("Feature1F20ADCMeasurement::Report::onStatusChange", &Report::onStatusChange,
         DeviceState{bigEndian16(payload, 0), payload[2]});
}

}  // namespace devio
