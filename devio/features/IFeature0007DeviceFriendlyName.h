#pragma once

#include <string>

namespace devio {

// Device friendly name (0x0007): a name the user gives the device, and its default.
// Functions 1 and 2: [offset] -> up to 16 characters; function 3: [offset, up to 15 characters].
class IFeature0007DeviceFriendlyName {
 public:
  virtual ~IFeature0007DeviceFriendlyName() = default;
  // [length, maximum length, default name length]
  virtual bool GetFriendlyNameLen(int* length, int* maxLength, int* defaultLength) = 0;
  virtual bool GetFriendlyName(std::string* name) = 0;
  virtual bool GetFriendlyName(int length, std::string* name) = 0;
  virtual bool GetDefaultFriendlyName(std::string* name) = 0;
  virtual bool GetDefaultFriendlyName(int length, std::string* name) = 0;
  // Writes the name in pieces of 15 characters.
  virtual bool SetFriendlyName(const std::string& name) = 0;
  virtual bool SetFriendlyName(int offset, const std::string& piece) = 0;
  virtual bool ResetFriendlyName() = 0;
};

// Defined with Feature0007DeviceFriendlyName; see IFeatureForceInclusion0000.
class IFeatureForceInclusion0007 {
 public:
  IFeatureForceInclusion0007();
};
[[maybe_unused]] static const IFeatureForceInclusion0007 forceInclusion0007;

}  // namespace devio
