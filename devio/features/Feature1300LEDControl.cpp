#include "devio/features/Feature1300LEDControl.h"

#include <array>
#include <atomic>
#include <utility>

#include "devio/protocol/ErrorCode.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature1300LEDControl::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature1300LEDControl>(Feature1300LEDControl::Id);

constexpr const char* Tag = "Feature1300LEDControl";

enum Function : int {
  GetLEDCountFunction = 0,
  GetLEDInfoFunction = 1,
  HasSWControlFunction = 2,
  SetSWControlFunction = 3,
  GetLEDStateFunction = 4,
  SetLEDStateFunction = 5,
  GetNvConfigFunction = 6,
  SetNvConfigFunction = 7,
};

constexpr std::size_t InfoLength = 6;
constexpr std::size_t StateLength = 2;
constexpr std::size_t AdditionalInfoLength = 6;
constexpr std::size_t NvConfigLength = 2;

// Names of the low capability byte's bits, lowest bit first.
constexpr std::array<const char*, 8> CapabilityNames{"Off ",    "On ",       "Blink ",     "Traveling ",
                                                     "RampUp ", "RampDown ", "HeartBeat ", "Breathing "};

const char* typeName(unsigned type) {
  static constexpr std::array<const char*, 5> names{"Battery", "DPI", "Profile", "Logo", "Cosmetic"};
  return type >= 1 && type <= names.size() ? names[type - 1] : "Unknown";
}

const char* nvCapabilityName(unsigned nv) {
  switch (nv) {
    case 1:
      return "AlwaysOff";
    case 2:
      return "AlwaysOn";
    case 4:
      return "OnThenOff";
    default:
      return "None";
  }
}

Byte high(int value) { return static_cast<Byte>(value >> 8); }
Byte low(int value) { return static_cast<Byte>(value); }
}  // namespace

IFeatureForceInclusion1300::IFeatureForceInclusion1300() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion1300::IFeatureForceInclusion1300", "Devio: Feature1300 included");
}

Feature1300LEDControl::Feature1300LEDControl(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

std::string Feature1300LEDControl::describe(const LEDInfo& info) {
  std::string capabilities;
  for (std::size_t bit = 0; bit < CapabilityNames.size(); ++bit)
    if (info.capabilities & (1u << bit)) capabilities += CapabilityNames[bit];
  return "LED[" + std::to_string(info.index) + "]: type=" + typeName(info.type) +
         " physicalLEDs=" + std::to_string(info.physicalLEDs) + " capabilities=( " + capabilities +
         ") nvCapabilities=" + nvCapabilityName(info.nvCapabilities);
}

bool Feature1300LEDControl::validIndex(int index, const char* operation, const char* message) {
  if (index >= 0 && index <= 0xFF) return true;
  xLog(Tag, LogDebug, operation, "%s", message);
  LastError::set(Velo20Error2);
  return false;
}

bool Feature1300LEDControl::command(int function, const Bytes& params, Bytes& payload, const char* operation,
                                    const char* failure) {
  if (sendFeatureCommand(function, params, payload, false)) return true;
  xLog(Tag, LogDebug, operation, "%s", failure);
  return false;
}

bool Feature1300LEDControl::longEnough(const Bytes& payload, std::size_t minimum, const char* operation,
                                       const char* message) {
  if (payload.size() >= minimum) return true;
  xLog(Tag, LogDebug, operation, "%s", message);
  LastError::set(CommandResponseTooShort);
  return false;
}

bool Feature1300LEDControl::GetLEDCount(int* count) {
  Bytes p;
  if (!command(GetLEDCountFunction, {}, p, FN(GetLEDCount), "Feature1300LEDControl::GetLEDCount failed") ||
      !longEnough(p, 1, FN(GetLEDCount), "Feature1300LEDControl::GetLEDCount response too short"))
    return false;
  store(count, p[0]);
  return true;
}

bool Feature1300LEDControl::GetLEDInfo(int index, LEDInfo* info) {
  Bytes p;
  if (!validIndex(index, FN(GetLEDInfo), "Feature1300LEDControl::GetLEDInfo has invalid index") ||
      !command(GetLEDInfoFunction, {static_cast<Byte>(index)}, p, FN(GetLEDInfo),
               "Feature1300LEDControl::GetLEDInfo failed") ||
      !longEnough(p, InfoLength, FN(GetLEDInfo), "Feature1300LEDControl::GetLEDInfo response too short"))
    return false;
  const LEDInfo read{p[0], p[1], p[2], bigEndian16(p, 3), p[5]};
  xLog(Tag, LogDebug, FN(GetLEDInfo), "%s", describe(read).c_str());
  store(info, read);
  return true;
}

bool Feature1300LEDControl::HasSWControl(bool* control) {
  Bytes p;
  if (!command(HasSWControlFunction, {}, p, FN(HasSWControl), "Feature1300LEDControl::HasSWControl failed") ||
      !longEnough(p, 1, FN(HasSWControl), "Feature1300LEDControl::HasSWControl response too short"))
    return false;
  store(control, p[0] != 0);
  return true;
}

bool Feature1300LEDControl::SetSWControl(int value) {
  Bytes p;
  return command(SetSWControlFunction, {static_cast<Byte>(value)}, p, FN(SetSWControl),
                 "Feature1300LEDControl::SetSWControl failed");
}

bool Feature1300LEDControl::GetLEDState(int index, int* state) {
  Bytes p;
  if (!validIndex(index, FN(GetLEDState), "Feature1300LEDControl::GetLEDState has invalid index") ||
      !command(GetLEDStateFunction, {static_cast<Byte>(index)}, p, FN(GetLEDState),
               "Feature1300LEDControl::GetLEDState failed") ||
      !longEnough(p, StateLength, FN(GetLEDState), "Feature1300LEDControl::GetLEDState response too short"))
    return false;
  store(state, p[1]);
  return true;
}

// Bytes 3 to 5 are required: an answer without them (a short report carries 3 payload bytes)
// fails rather than report additional information the device never sent.
bool Feature1300LEDControl::GetLEDStateAdditionalInfo(int index, int* state, int* extra, bool* flagged, int* value) {
  Bytes p;
  if (!validIndex(index, FN(GetLEDStateAdditionalInfo), "Feature1300LEDControl::GetLEDState has invalid index") ||
      !command(GetLEDStateFunction, {static_cast<Byte>(index)}, p, FN(GetLEDStateAdditionalInfo),
               "Feature1300LEDControl::GetLEDState failed") ||
      !longEnough(p, AdditionalInfoLength, FN(GetLEDStateAdditionalInfo),
                  "Feature1300LEDControl::GetLEDState response too short"))
    return false;
  const bool hasValue = p[4] == 1;
  store(state, p[1]);
  store(extra, p[3]);
  store(flagged, hasValue);
  store(value, hasValue ? p[5] : 0);
  return true;
}

bool Feature1300LEDControl::SetLEDState(int index, int a, int b, int c, int d) {
  Bytes p;
  return validIndex(index, FN(SetLEDState), "Feature1300LEDControl::SetLEDState has invalid index") &&
         command(SetLEDStateFunction,
                 {static_cast<Byte>(index), high(a), low(a), high(b), low(b), high(c), low(c), high(d), low(d)}, p,
                 FN(SetLEDState), "Feature1300LEDControl::SetLEDState failed");
}

bool Feature1300LEDControl::GetNvConfig(int index, int* config) {
  Bytes p;
  if (!validIndex(index, FN(GetNvConfig), "Feature1300LEDControl::GetNvConfig has invalid index") ||
      !command(GetNvConfigFunction, {static_cast<Byte>(index)}, p, FN(GetNvConfig),
               "Feature1300LEDControl::GetNvConfig failed") ||
      !longEnough(p, NvConfigLength, FN(GetNvConfig), "Feature1300LEDControl::GetNvConfig response too short"))
    return false;
  store(config, p[1]);
  return true;
}

bool Feature1300LEDControl::SetNvConfig(int index, int config) {
  Bytes p;
  return validIndex(index, FN(SetNvConfig), "Feature1300LEDControl::SetNvConfig has invalid index") &&
         command(SetNvConfigFunction, {static_cast<Byte>(index), static_cast<Byte>(config)}, p, FN(SetNvConfig),
                 "Feature1300LEDControl::SetNvConfig failed");
}

}  // namespace devio
