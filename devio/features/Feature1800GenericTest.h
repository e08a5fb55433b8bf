#pragma once

#include <memory>

#include "devio/features/IFeature1800GenericTest.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1800GenericTest : public Feature,
                               public IFeature1800GenericTest,
                               public Producer<IFeature1800GenericTest::GenericResponse> {
 public:
  static constexpr unsigned Id = 0x1800;

  Feature1800GenericTest(int index, std::weak_ptr<IDevice> device);

  bool Test(const Bytes& data, Bytes* answer) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
