#pragma once

#include <memory>

#include "devio/features/ControlReportingFeature.h"
#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1B03SpecialKeys : public ControlReportingFeature<IFeature1B03SpecialKeys>,
                               public Producer<IFeature1B03SpecialKeys::KeyReport> {
 public:
  static constexpr unsigned Id = 0x1B03;

  Feature1B03SpecialKeys(int index, std::weak_ptr<IDevice> device);

  bool GetControlInfo(int index, ControlInfo* info) override;

  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
