#pragma once

#include <memory>

#include "devio/features/ControlReportingFeature.h"
#include "devio/features/IFeature1B04SpecialKeys.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1B04SpecialKeys : public ControlReportingFeature<IFeature1B04SpecialKeys>,
                               public Producer<IFeature1B04SpecialKeys::KeyReport>,
                               public Producer<IFeature1B04SpecialKeys::RawXYReport> {
 public:
  static constexpr unsigned Id = 0x1B04;

  Feature1B04SpecialKeys(int index, std::weak_ptr<IDevice> device);

  bool GetControlInfo(int index, int* control, int* task, Byte* flags, int* position, int* group, Byte* groupMask,
                      Byte* additionalFlags) override;

  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
