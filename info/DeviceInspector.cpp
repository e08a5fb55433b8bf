#include "info/DeviceInspector.h"

#include <cxxabi.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <tuple>
#include <typeinfo>

#include "devio/features/IFeature1000BatteryUnifiedLevelStatus.h"
#include "devio/features/IFeature1981KeyboardBacklight.h"
#include "devio/features/IFeature2121HiResWheel.h"
#include "devio/features/IFeature2130RatchetWheel.h"
#include "devio/features/IFeature2201AdjustableDPI.h"
#include "devio/features/IFeature4220LockKeyState.h"
#include "devio/features/IFeature4540KBLayout.h"
#include "devio/features/IFeature8060ReportRate.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"

namespace {

using State = std::vector<std::pair<std::string, int>>;

// Reads a setting through get and names its values; empty when the device refuses.
template <class I, class... V>
State read(devio::IFeature& feature, bool (I::*get)(V*...), const std::array<const char*, sizeof...(V)>& names) {
  auto* member = dynamic_cast<I*>(&feature);
  std::tuple<V...> values{};
  if (!member || !std::apply([&](V&... v) { return (member->*get)(&v...); }, values)) return {};
  State state;
  std::size_t name = 0;
  std::apply([&](const V&... v) { (state.emplace_back(names[name++], static_cast<int>(v)), ...); }, values);
  return state;
}

State sensorDpis(devio::IFeature& feature) {
  auto* dpi = dynamic_cast<devio::IFeature2201AdjustableDPI*>(&feature);
  int sensors = 0;
  if (!dpi || !dpi->GetSensorCount(&sensors)) return {};
  State state;
  for (int sensor = 0; sensor < sensors; ++sensor) {
    int value = 0;
    if (!dpi->GetSensorDPI(sensor, &value)) return {};
    state.emplace_back("dpi_sensor_" + std::to_string(sensor), value);
  }
  return state;
}

// The features whose setting devio-info shows.
const std::map<unsigned, std::function<State(devio::IFeature&)>>& stateReaders() {
  using namespace devio;
  static const std::map<unsigned, std::function<State(IFeature&)>> readers{
      {0x1000,
       [](IFeature& f) {
         return read(f, &IFeature1000BatteryUnifiedLevelStatus::GetBatteryLevelStatus,
                     {"level", "next_level", "status"});
       }},
      {0x1981,
       [](IFeature& f) {
         return read(f, &IFeature1981KeyboardBacklight::GetBacklightDuration, {"level", "duration", "status"});
       }},
      {0x2121,
       [](IFeature& f) {
         return read<IFeature2121HiResWheel, bool, bool, bool>(f, &IFeature2121HiResWheel::GetWheelMode,
                                                               {"target", "high_resolution", "inverted"});
       }},
      {0x2130, [](IFeature& f) { return read(f, &IFeature2130RatchetWheel::GetWheelMode, {"wheel_mode"}); }},
      {0x2201, sensorDpis},
      {0x4220, [](IFeature& f) { return read(f, &IFeature4220LockKeyState::GetLockState, {"lock_state"}); }},
      {0x4540, [](IFeature& f) { return read(f, &IFeature4540KBLayout::GetKeyboardLayout, {"layout"}); }},
      {0x8060,
       [](IFeature& f) { return read(f, &IFeature8060ReportRate::GetReportRate, {"report_interval_ms"}); }},
  };
  return readers;
}

std::vector<InspectedFirmware> firmwareOf(devio::IDevice& device) {
  const auto info = std::dynamic_pointer_cast<devio::IFeature0003FirmwareInfo>(device.feature_by_id(0x0003));
  int count = 0;
  if (!info || !info->GetEntityCount(&count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true)) return {};
  std::vector<InspectedFirmware> entities;
  for (int entity = 0; entity < count; ++entity) {
    InspectedFirmware firmware;
    if (!info->GetFwInfo(entity, &firmware.type, &firmware.prefix, &firmware.version, &firmware.build, nullptr,
                         nullptr, true))
      break;
    entities.push_back(std::move(firmware));
  }
  return entities;
}

}  // namespace

InspectedDevice DeviceInspector::inspect(devio::IDevice& device) {
  const bool paired = device.transport() == 1;
  InspectedDevice inspected{device.pid(),
                            device.name(),
                            device.transport(),
                            device.path(),
                            paired ? device.link_index() - 1 : -1,
                            !paired || device.connected(),
                            firmwareOf(device),
                            {}};
  for (const std::shared_ptr<devio::IFeature>& feature : device.features())
    inspected.features.push_back({feature->id(), feature->index(), className(*feature), state(*feature)});
  return inspected;
}

std::string DeviceInspector::className(devio::IFeature& feature) {
  const char* mangled = typeid(feature).name();
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                              &std::free);
  std::string_view name = status == 0 ? demangled.get() : mangled;
  if (name.starts_with("devio::")) name.remove_prefix(7);
  return std::string(name);
}

std::vector<std::pair<std::string, int>> DeviceInspector::state(devio::IFeature& feature) {
  const auto& readers = stateReaders();
  const auto reader = readers.find(feature.id());
  return reader == readers.end() ? State{} : reader->second(feature);
}
