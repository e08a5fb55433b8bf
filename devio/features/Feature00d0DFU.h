#pragma once

#include <memory>

#include "devio/features/IFeature00d0DFU.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Turns both the acknowledgements of data packets and the device's status notifications into
// Report::onDfuStatus.
class Feature00d0DFU : public Feature, public IFeature00d0DFU, public Producer<IFeature00d0DFU::Report> {
 public:
  static constexpr unsigned Id = 0x00D0;

  Feature00d0DFU(int index, std::weak_ptr<IDevice> device);

  bool DFUStart(Bytes block, int* status, Bytes* response) override;
  bool DFUSendPacket(unsigned n, Bytes data) override;
  bool DFURestart(Byte value) override;

  // A status notification: packet number from payload bytes 2-3; any function.
  void onFeatureReport(int function, const Bytes& payload) override;

 private:
  void fireStatus(unsigned packet, const Bytes& payload);
};

}  // namespace devio
