#pragma once

#include <memory>

#include "devio/features/IFeature8300Sidetone.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature8300Sidetone : public Feature, public IFeature8300Sidetone {
 public:
  static constexpr unsigned Id = 0x8300;

  Feature8300Sidetone(int index, std::weak_ptr<IDevice> device);

  bool getSidetoneLevel(int* level) override;
  bool setSidetoneLevel(int level) override;
};

}  // namespace devio
