#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "devio/features/Feature1F1FFirmwareProperty.h"
#include "devio/features/IFeature1F1FFirmwareProperties.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

class Feature1F1FFirmwareProperties : public Feature,
                                      public IFeature1F1FFirmwareProperties,
                                      public Producer<IFeature1F1FFirmwareProperties::Report> {
 public:
  static constexpr unsigned Id = 0x1F1F;

  Feature1F1FFirmwareProperties(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* count) override;
  bool GetPropertyInfo(int index, int* id, int* flags, int* size) override;
  bool SelectProperty(int id, int offset) override;
  bool ReadProperty(Bytes* data) override;
  bool WriteProperty(const Bytes& data) override;
  bool ClearProperty(int id) override;
  bool GetPropertyState(int id, int* state) override;
  bool LoadProperties() override;
  bool PropertyCount(int* count) override;
  bool GetProperty(int index, std::shared_ptr<IFeature1F1FFirmwareProperty>* property) override;

  void onFeatureReport(int function, const Bytes& payload) override;

 private:
  // Loaded on the caller's thread, notified on the read thread.
  std::mutex mutex_;
  std::vector<std::shared_ptr<Feature1F1FFirmwareProperty>> properties_;
};

}  // namespace devio
