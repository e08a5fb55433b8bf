#pragma once

#include <memory>

#include "devio/features/IFeature4540KBLayout.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature4540KBLayout : public Feature, public IFeature4540KBLayout {
 public:
  static constexpr unsigned Id = 0x4540;

  Feature4540KBLayout(int index, std::weak_ptr<IDevice> device);

  bool GetKeyboardLayout(int* layout) override;
};

}  // namespace devio
