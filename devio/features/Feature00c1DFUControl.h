#pragma once

#include <memory>

#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature00c1DFUControl : public Feature,
                              public IFeature00c1DFUControl,
                              public Producer<IFeature00c1DFUControl::ConfigReport> {
 public:
  static constexpr unsigned Id = 0x00C1;

  Feature00c1DFUControl(int index, std::weak_ptr<IDevice> device);

  bool GetDfuControl(int* control) override;
  bool SetDfuControl(Byte a, Byte b, Byte c, Byte d) override;

  // Logged only.
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
