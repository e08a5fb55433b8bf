#pragma once

#include <ostream>
#include <vector>

#include "info/DeviceInspector.h"

// The two forms of devio-info's listing: text for a person, one JSON document for a program.
class InfoOutput {
 public:
  static void printText(std::ostream& out, const std::vector<InspectedDevice>& devices);
  static void printJson(std::ostream& out, const std::vector<InspectedDevice>& devices);
};
