#pragma once

#include <memory>

#include "devio/features/IFeature1B00SpecialKeys.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1B00SpecialKeys : public Feature,
                               public IFeature1B00SpecialKeys,
                               public Producer<IFeature1B00SpecialKeys::KeyReport> {
 public:
  static constexpr unsigned Id = 0x1B00;

  Feature1B00SpecialKeys(int index, std::weak_ptr<IDevice> device);

  bool GetControlCount(int* count) override;
  bool GetControlInfo(int index, ControlInfo* info) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
