#pragma once

#include <memory>
#include <string>

#include "devio/features/IFeature0007DeviceFriendlyName.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature0007DeviceFriendlyName : public Feature, public IFeature0007DeviceFriendlyName {
 public:
  static constexpr unsigned Id = 0x0007;

  Feature0007DeviceFriendlyName(int index, std::weak_ptr<IDevice> device);

  bool GetFriendlyNameLen(int* length, int* maxLength, int* defaultLength) override;
  bool GetFriendlyName(std::string* name) override;
  bool GetFriendlyName(int length, std::string* name) override;
  bool GetDefaultFriendlyName(std::string* name) override;
  bool GetDefaultFriendlyName(int length, std::string* name) override;
  bool SetFriendlyName(const std::string& name) override;
  bool SetFriendlyName(int offset, const std::string& piece) override;
  bool ResetFriendlyName() override;

 private:
  // One of the names, read in pieces.
  bool GetNameHelper(int function, int length, std::string* name);
};

}  // namespace devio
