#pragma once

#include <string>

namespace devio {

// Device name and type (0x0005): the marketing name, read in pieces, and the kind of device.
// Function 1: [offset] -> up to 16 name characters from offset. Every pointer may be null.
class IFeature0005DeviceNameType {
 public:
  virtual ~IFeature0005DeviceNameType() = default;
  // length := the name's length, byte 0.
  virtual bool GetCount(int* length) = 0;
  // The whole name; an empty piece fails with EmptyResponseData. Kept for deviceName().
  virtual bool GetDeviceName(std::string* name) = 0;
  // The characters from offset, up to the first zero byte.
  virtual bool GetDeviceName(int offset, std::string* piece) = 0;
  // type := byte 0: 0 keyboard, 1 remote control, 2 numpad, 3 mouse, 4 trackpad, 5 trackball, 6 presenter, 7 receiver.
  virtual bool GetDeviceType(int* type) = 0;
  // The type as a word ("keyboard", ... "unknown").
  virtual bool GetDeviceType(std::string* type) = 0;
};

// Defined with Feature0005DeviceNameType; see IFeatureForceInclusion0000.
class IFeatureForceInclusion0005 {
 public:
  IFeatureForceInclusion0005();
};
[[maybe_unused]] static const IFeatureForceInclusion0005 forceInclusion0005;

}  // namespace devio
