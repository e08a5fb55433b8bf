#pragma once

#include <memory>

#include "devio/features/IFeature1D4BWirelessStatus.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1D4BWirelessStatus : public Feature,
                                  public IFeature1D4BWirelessStatus,
                                  public Producer<IFeature1D4BWirelessStatus::Report> {
 public:
  static constexpr unsigned Id = 0x1D4B;

  Feature1D4BWirelessStatus(int index, std::weak_ptr<IDevice> device);

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
