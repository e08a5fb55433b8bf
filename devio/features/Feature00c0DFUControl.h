#pragma once

#include <memory>

#include "devio/features/IFeature00c0DFUControl.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Reports another program's function-1 answers to its direct ConfigReport subscribers.
class Feature00c0DFUControl : public Feature,
                              public IFeature00c0DFUControl,
                              public Producer<IFeature00c0DFUControl::ConfigReport> {
 public:
  static constexpr unsigned Id = 0x00C0;

  Feature00c0DFUControl(int index, std::weak_ptr<IDevice> device);

  bool EnterDfu() override;

  // Logged; a function-1 answer calls ConfigReport::onConfigReport on the direct subscribers
  // only, on the thread that delivers incoming reports. Run-loop subscribers receive nothing.
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
