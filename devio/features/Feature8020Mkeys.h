#pragma once

#include <memory>

#include "devio/features/IFeature8020Mkeys.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8020Mkeys : public Feature, public IFeature8020Mkeys, public Producer<IFeature8020Mkeys::Report> {
 public:
  static constexpr unsigned Id = 0x8020;

  Feature8020Mkeys(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* count) override;
  bool SetLEDs(int mask) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
