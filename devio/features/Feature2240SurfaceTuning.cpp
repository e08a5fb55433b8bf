#include "devio/features/Feature2240SurfaceTuning.h"

#include <atomic>
#include <utility>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature2240SurfaceTuning::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature2240SurfaceTuning>(Feature2240SurfaceTuning::Id);

enum Function : int {
  GetCapabilitiesFunction = 0,
  StartShutterCalibrationFunction = 1,
  StartSqualCalibrationFunction = 2,
  GetSurfaceModeFunction = 3,
  SetSurfaceModeFunction = 4,
  GetLiftThresholdFunction = 5,
  SetLiftThresholdFunction = 6,
};
}  // namespace

IFeatureForceInclusion2240::IFeatureForceInclusion2240() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature2240SurfaceTuning",
                     "devio::IFeatureForceInclusion2240::IFeatureForceInclusion2240", "Devio: Feature2240 included");
}

Feature2240SurfaceTuning::Feature2240SurfaceTuning(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature2240SurfaceTuning::GetCapabilities(int* flags) {
  Bytes p;
  if (!query(GetCapabilitiesFunction, {}, 1, p)) return false;
  store(flags, p[0]);
  return true;
}

bool Feature2240SurfaceTuning::StartShutterCalibration() { return command(StartShutterCalibrationFunction, {}); }

bool Feature2240SurfaceTuning::StartSqualCalibration() { return command(StartSqualCalibrationFunction, {}); }

bool Feature2240SurfaceTuning::GetSurfaceMode(int* mode) {
  Bytes p;
  if (!query(GetSurfaceModeFunction, {}, 1, p)) return false;
  store(mode, p[0]);
  return true;
}

bool Feature2240SurfaceTuning::SetSurfaceMode(int mode) {
  return change(FN(SetSurfaceMode), SetSurfaceModeFunction, {lowByte(mode)});
}

bool Feature2240SurfaceTuning::GetLiftThreshold(int* threshold) {
  Bytes p;
  if (!query(GetLiftThresholdFunction, {}, 1, p)) return false;
  store(threshold, p[0]);
  return true;
}

bool Feature2240SurfaceTuning::SetLiftThreshold(int threshold) {
  return change(FN(SetLiftThreshold), SetLiftThresholdFunction, {lowByte(threshold)});
}

void Feature2240SurfaceTuning::onFeatureReport(int function, const Bytes& payload) {
  if (function == 0 && payload.size() >= 2)
    fire("Feature2240SurfaceTuning::Report::onShutterCalibrationDone", &Report::onShutterCalibrationDone,
         payload[0] != 0, payload[1]);
  if (function == 1 && payload.size() >= 3)
    fire("Feature2240SurfaceTuning::Report::onSqualCalibrationDone", &Report::onSqualCalibrationDone, payload[0] != 0,
         payload[1], payload[2]);
}

}  // namespace devio
