#pragma once

#include <memory>

#include "devio/features/IFeature4531MultiPlatform.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature4531MultiPlatform : public Feature,
                                 public IFeature4531MultiPlatform,
                                 public Producer<IFeature4531MultiPlatform::Report> {
 public:
  static constexpr unsigned Id = 0x4531;

  Feature4531MultiPlatform(int index, std::weak_ptr<IDevice> device);

  bool GetFeatureInfos(int* flags, int* platforms, int* descriptors) override;
  bool GetPlatformDescriptor(int index, int* platform, int* osMask) override;
  bool GetHostPlatform(int host, int* platform, int* source) override;
  bool setHostPlatform(int host, int platform) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
