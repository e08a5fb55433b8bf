#pragma once

#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/protocol/IFeature.h"

// What devio-info shows of one device.
struct InspectedFirmware {
  int type = 0;
  std::string prefix;
  std::string version;  // four hexadecimal digits, as the device sent them
  std::string build;
};

struct InspectedFeature {
  unsigned id = 0;
  int index = 0;
  std::string className;
  // The setting a feature holds, as named values; empty for features without one or when the
  // device did not answer.
  std::vector<std::pair<std::string, int>> state;
};

struct InspectedDevice {
  int pid = 0;
  std::string name;
  int busType = 0;
  std::string path;
  int slot = -1;          // pairing slot (0-based) behind a receiver, else -1
  bool connected = true;  // the link state behind a receiver
  std::vector<InspectedFirmware> firmware;
  std::vector<InspectedFeature> features;
};

// Reads a device's description through its features: synchronous requests on the calling thread.
class DeviceInspector {
 public:
  static InspectedDevice inspect(devio::IDevice& device);
  // The class of a feature object without the namespace ("Feature1B04SpecialKeys"; "Feature" for
  // an id the library does not know).
  static std::string className(devio::IFeature& feature);
  // The readable setting of the feature, if it holds one (see InspectedFeature::state).
  static std::vector<std::pair<std::string, int>> state(devio::IFeature& feature);
};
