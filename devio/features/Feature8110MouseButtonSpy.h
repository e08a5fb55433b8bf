#pragma once

#include <memory>

#include "devio/features/IFeature8110MouseButtonSpy.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature8110MouseButtonSpy : public Feature,
                                  public IFeature8110MouseButtonSpy,
                                  public Producer<IFeature8110MouseButtonSpy::Report> {
 public:
  static constexpr unsigned Id = 0x8110;

  Feature8110MouseButtonSpy(int index, std::weak_ptr<IDevice> device);

  bool GetButtonCount(int* count) override;
  bool StartSpy() override;
  bool StopSpy() override;
  bool GetRemapping(Bytes* remapping) override;
  bool SetRemapping(const Bytes& remapping) override;

  void onFeatureReport(int function, const Bytes& payload) override;
};

}  // namespace devio
