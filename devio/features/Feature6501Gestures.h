#pragma once

#include <memory>

#include "devio/features/IFeature6501Gestures.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature6501Gestures : public Feature,
                            public IFeature6501Gestures,
                            public Producer<IFeature6501Gestures::GestureReport> {
 public:
  static constexpr unsigned Id = 0x6501;

  Feature6501Gestures(int index, std::weak_ptr<IDevice> device);

  bool GetGestureInfo(int index, int* gesture, int* flags) override;
  bool IsEnabled(int gesture, bool* enabled) override;
  bool EnableNow(int gesture, bool enable) override;
  bool IsDiverted(int gesture, bool* diverted) override;
  bool DivertNow(int gesture, bool divert) override;
  bool GetSpec(int parameter, Bytes* spec) override;
  bool ParamDefault(int parameter, Bytes* value) override;
  bool GetParam(int parameter, Bytes* value) override;
  bool SetParamNow(int parameter, const Bytes& value) override;
  bool Enable(int gesture, bool enable) override;
  bool Divert(int gesture, bool divert) override;
  bool SetParam(int parameter, const Bytes& value) override;
  bool EnableGestures(const std::vector<int>& gestures, bool enable) override;
  bool DivertGestures(const std::vector<int>& gestures, bool divert) override;
  bool ResetParam(int parameter) override;
  bool ResetGesture(int gesture, int parameter) override;
  bool SupportsGesture(int count, int gesture, bool* supported) override;

  void onFeatureReport(int function, const Bytes& payload) override;
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;

 private:
  // Reads [gesture, on] through function when the gesture's capability flag allows it, else false.
  bool readSwitch(int gesture, Byte capability, int function, bool* on);
};

}  // namespace devio
