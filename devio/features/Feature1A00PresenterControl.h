#pragma once

#include <memory>

#include "devio/features/IFeature1A00PresenterControl.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1A00PresenterControl : public Feature, public IFeature1A00PresenterControl {
 public:
  static constexpr unsigned Id = 0x1A00;

  Feature1A00PresenterControl(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* count) override;
  bool GetControlInfo(int index, int* control, int* flags) override;
  bool GetControlReporting(int control, int* reporting) override;
  bool SetControlReporting(int control, int reporting) override;
};

}  // namespace devio
