#pragma once

#include <memory>

#include "devio/features/IFeature8010Gkey.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8010Gkey : public Feature, public IFeature8010Gkey, public Producer<IFeature8010Gkey::Report> {
 public:
  static constexpr unsigned Id = 0x8010;

  Feature8010Gkey(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* count) override;
  bool GetPhysicalLayout(int* layout) override;
  bool EnableSoftwareControl(bool enable) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
