#pragma once

#include <memory>

#include "devio/features/IFeature6100TouchPadRawXY.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature6100TouchPadRawXY : public Feature,
                                 public IFeature6100TouchPadRawXY,
                                 public Producer<IFeature6100TouchPadRawXY::Report> {
 public:
  static constexpr unsigned Id = 0x6100;

  Feature6100TouchPadRawXY(int index, std::weak_ptr<IDevice> device);

  bool GetTouchPadInfo(int* width, int* height, int* dpi) override;
  bool EnableRawReporting(bool enable) override;
  bool SetRawReportState(int mode) override;

  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
