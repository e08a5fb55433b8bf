#pragma once

#include <memory>

#include "devio/features/IFeature00c2DFUControl.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature00c2DFUControl : public Feature,
                              public IFeature00c2DFUControl,
                              public Producer<IFeature00c2DFUControl::ConfigReport> {
 public:
  static constexpr unsigned Id = 0x00C2;

  Feature00c2DFUControl(int index, std::weak_ptr<IDevice> device);

  bool GetDfuControl(bool* enabled) override;
  bool SetDfuControl(Byte a, Byte b) override;

  // Logged only.
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
