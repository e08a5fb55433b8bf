#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "devio/features/IFeature0005DeviceNameType.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature0005DeviceNameType : public Feature, public IFeature0005DeviceNameType {
 public:
  static constexpr unsigned Id = 0x0005;

  Feature0005DeviceNameType(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* length) override;
  bool GetDeviceName(std::string* name) override;
  bool GetDeviceName(int offset, std::string* piece) override;
  bool GetDeviceType(int* type) override;
  bool GetDeviceType(std::string* type) override;

  // The name the last GetDeviceName read; empty before.
  std::string deviceName();

 private:
  std::mutex nameMutex_;
  std::string name_;
};

}  // namespace devio
