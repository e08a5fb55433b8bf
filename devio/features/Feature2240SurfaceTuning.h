#pragma once

#include <memory>

#include "devio/features/IFeature2240SurfaceTuning.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature2240SurfaceTuning : public Feature,
                                 public IFeature2240SurfaceTuning,
                                 public Producer<IFeature2240SurfaceTuning::Report> {
 public:
  static constexpr unsigned Id = 0x2240;

  Feature2240SurfaceTuning(int index, std::weak_ptr<IDevice> device);

  bool GetCapabilities(int* flags) override;
  bool StartShutterCalibration() override;
  bool StartSqualCalibration() override;
  bool GetSurfaceMode(int* mode) override;
  bool SetSurfaceMode(int mode) override;
  bool GetLiftThreshold(int* threshold) override;
  bool SetLiftThreshold(int threshold) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
