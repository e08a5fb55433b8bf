#pragma once

#include <memory>

#include "devio/features/IFeature6500Gestures.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature6500Gestures : public Feature, public IFeature6500Gestures, public Producer<IFeature6500Gestures::Report> {
 public:
  static constexpr unsigned Id = 0x6500;

  Feature6500Gestures(int index, std::weak_ptr<IDevice> device);

  bool GetGestureIDInfo(int index, GestureId* gesture, EventType* type) override;
  bool IsEnabled(GestureId gesture, bool* enabled) override;
  bool Enable(GestureId gesture, bool enable) override;
  bool ResetGestures() override;
  bool EnableTap(bool enable) override;
  bool EnableScroll(bool enable) override;
  bool EnableSwipe(bool enable) override;
  bool EnableZoom(bool enable) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
