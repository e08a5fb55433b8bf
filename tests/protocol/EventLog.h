#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "devio/features/IFeature1001BatteryVoltage.h"
#include "devio/features/IFeature1BC0ReportHIDUsages.h"
#include "devio/features/IFeature1F20ADCMeasurement.h"
#include "devio/features/IFeature2400HybridTracking.h"
#include "devio/features/IFeature6100TouchPadRawXY.h"
#include "devio/features/IFeature8111LatencyMonitoring.h"

namespace devio {

class IDevice;

// Arguments of an event as the tables write them: numbers, lists in brackets, records in braces.
template <class T>
std::string text(const T& value) {
  if constexpr (std::is_enum_v<T>)
    return std::to_string(static_cast<unsigned>(value));
  else
    return std::to_string(value);
}
template <class T>
std::string text(const std::vector<T>& values) {
  std::string joined;
  for (const T& v : values) joined += (joined.empty() ? "" : ",") + text(v);
  return "[" + joined + "]";
}
inline std::string text(const std::shared_ptr<IDevice>& device) { return device ? "device" : "none"; }
inline std::string text(const IFeature1001BatteryVoltage::BatteryInfo& i) {
  return "{" + text(i.voltage) + "," + text(i.flags) + "}";
}
inline std::string text(const IFeature1BC0ReportHIDUsages::UsagePackage& u) {
  return "{" + text(u.page) + "," + text(u.usage) + "," + text(u.pressed) + "}";
}
inline std::string text(const IFeature1F20ADCMeasurement::DeviceState& s) {
  return "{" + text(s.value) + "," + text(s.flags) + "}";
}
inline std::string text(const HybridReporting::SpeedInfo& s) { return "{" + text(s.speed) + "," + text(s.mode) + "}"; }
inline std::string text(const IFeature6100TouchPadRawXY::DualXYData& d) {
  return "{" + text(d.x1) + "," + text(d.y1) + "," + text(d.x2) + "," + text(d.y2) + "," + text(d.fingers) + "}";
}
inline std::string text(const IFeature8111LatencyMonitoring::LatencyEventInfo& i) {
  return "{" + text(i.button) + "," + text(i.latency) + "}";
}

// The events a recorder received, as "handler(argument,argument)".
class EventLog {
 public:
  virtual ~EventLog() = default;
  std::vector<std::string> calls;

 protected:
  template <class... Args>
  void add(const char* handler, const Args&... args) {
    std::string joined;
    ((joined += (joined.empty() ? "" : ",") + text(args)), ...);
    calls.push_back(std::string(handler) + "(" + joined + ")");
  }
};

}  // namespace devio
