#pragma once

#include <memory>

#include "devio/features/IFeature1E00EnableHiddenFeatures.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1E00EnableHiddenFeatures : public Feature, public IFeature1E00EnableHiddenFeatures {
 public:
  static constexpr unsigned Id = 0x1E00;

  Feature1E00EnableHiddenFeatures(int index, std::weak_ptr<IDevice> device);

  bool GetEnableHiddenFeatures(bool* enabled) override;
  bool SetEnableHiddenFeatures(bool enabled) override;
};

}  // namespace devio
