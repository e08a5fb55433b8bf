#pragma once

#include <memory>

#include "devio/features/IFeature40A3FnInversion.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature40A3FnInversion : public Feature,
                               public IFeature40A3FnInversion,
                               public Producer<IFeature40A3FnInversion::Report> {
 public:
  static constexpr unsigned Id = 0x40A3;

  Feature40A3FnInversion(int index, std::weak_ptr<IDevice> device);

  bool GetGlobalFnInversion(bool* inverted, bool* defaultInverted, bool* locked) override;
  bool SetGlobalFnInversion(bool inverted) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
