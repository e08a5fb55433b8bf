#include "devio/features/Feature8100OnboardProfiles.h"

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Feature8100OnboardProfiles::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered =
    registerFeatureClass<Feature8100OnboardProfiles>(Feature8100OnboardProfiles::Id);

constexpr const char* Tag = "Feature8100OnboardProfiles";

enum Function : int {
  GetOnboardProfilesInfoFunction = 0,
  SetOnboardModeFunction = 1,
  IsOnboardModeFunction = 2,
  SetActiveProfileFunction = 3,
  GetActiveProfileFunction = 4,
  ReadDataFunction = 5,
  BeginWriteFunction = 6,
  WriteDataFunction = 7,
  EndWriteFunction = 8,
  ExecuteMacroFunction = 9,
  GetCRCFunction = 10,
  GetActiveProfileResolutionFunction = 11,
  SetActiveProfileResolutionFunction = 12,
};

// Notification functions.
constexpr int ProfileActivated = 0;
constexpr int ResolutionChanged = 1;

constexpr std::size_t InfoLength = 10;
constexpr std::size_t ReadLength = 16;
constexpr std::size_t WriteLength = 16;
constexpr Byte OnboardOn = 1;
constexpr Byte OnboardOff = 2;

// Each value as two bytes, high byte first.
Bytes words(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) {
    bytes.push_back(static_cast<Byte>(v >> 8));
    bytes.push_back(static_cast<Byte>(v));
  }
  return bytes;
}
}  // namespace

IFeatureForceInclusion8100::IFeatureForceInclusion8100() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion8100::IFeatureForceInclusion8100", "Devio: Feature8100 included");
}

Feature8100OnboardProfiles::Feature8100OnboardProfiles(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8100OnboardProfiles::command(int function, const Bytes& params, Bytes& payload, const char* operation,
                                         const char* failure) {
  if (sendFeatureCommand(function, params, payload, false)) return true;
  xLog(Tag, LogDebug, operation, "%s", failure);
  return false;
}

bool Feature8100OnboardProfiles::tooShort(const Bytes& payload, std::size_t minimum) {
  if (payload.size() >= minimum) return false;
  LastError::set(CommandResponseTooShort);
  return true;
}

bool Feature8100OnboardProfiles::GetOnboardProfilesInfo(OnboardProfilesInfo* info) {
  Bytes p;
  if (!command(GetOnboardProfilesInfoFunction, {}, p, FN(GetOnboardProfilesInfo),
               "Feature8100OnboardProfiles::GetOnboardProfilesInfo failed"))
    return false;
  if (tooShort(p, InfoLength)) return false;
  if (info) {
    std::copy_n(p.begin(), info->bytes.size(), info->bytes.begin());
    info->word = bigEndian16(p, 7);
    info->lowPairIsTwo = (p[9] & 0x03) == 2;
    info->highPairIsTwo = (p[9] & 0x0C) == 8;
  }
  return true;
}

bool Feature8100OnboardProfiles::SetOnboardMode(bool on) {
  Bytes p;
  return command(SetOnboardModeFunction, {on ? OnboardOn : OnboardOff}, p, FN(SetOnboardMode),
                 "Feature8100OnboardProfiles::SetOnboardMode failed");
}

bool Feature8100OnboardProfiles::IsOnboardMode(bool* on) {
  Bytes p;
  if (!command(IsOnboardModeFunction, {}, p, FN(IsOnboardMode), "Feature8100OnboardProfiles::IsOnboardMode failed"))
    return false;
  if (tooShort(p, 1)) return false;
  xLog(Tag, LogDebug, FN(IsOnboardMode), "Feature8100OnboardProfiles::SetOnboardMode returned %d", p[0]);
  store(on, p[0] == OnboardOn);
  return true;
}

bool Feature8100OnboardProfiles::SetActiveProfile(int profile) {
  Bytes p;
  return command(SetActiveProfileFunction, words({profile}), p, FN(SetActiveProfile),
                 "Feature8100OnboardProfiles::SetActiveProfile failed");
}

bool Feature8100OnboardProfiles::GetActiveProfile(int* profile) {
  Bytes p;
  if (!command(GetActiveProfileFunction, {}, p, FN(GetActiveProfile),
               "Feature8100OnboardProfiles::GetActiveProfile failed"))
    return false;
  if (tooShort(p, 2)) return false;
  const unsigned value = bigEndian16(p, 0);
  xLog(Tag, LogDebug, FN(GetActiveProfile), "Feature8100OnboardProfiles::GetActiveProfile returned 0x%x", value);
  store(profile, value);
  return true;
}

bool Feature8100OnboardProfiles::ReadData(int sector, int offset, Bytes* data) {
  Bytes p;
  if (!command(ReadDataFunction, words({sector, offset}), p, FN(ReadData),
               "Feature8100OnboardProfiles::ReadData failed"))
    return false;
  const int count = static_cast<int>(p.size());
  if (tooShort(p, ReadLength)) {
    xLog(Tag, LogDebug, FN(ReadData), "Feature8100OnboardProfiles::ReadData returned too few bytes (%d)", count);
    return false;
  }
  xLog(Tag, LogDebug, FN(ReadData), "Feature8100OnboardProfiles::ReadData read %d bytes from sector %d sectorAddr %d",
       count, sector, offset);
  if (data) *data = std::move(p);
  return true;
}

bool Feature8100OnboardProfiles::BeginWrite(int sector, int offset, int length) {
  Bytes p;
  return command(BeginWriteFunction, words({sector, offset, length}), p, FN(BeginWrite),
                 "Feature8100OnboardProfiles::BeginWrite failed");
}

bool Feature8100OnboardProfiles::WriteData(const Bytes& data, int* status) {
  if (data.empty() || data.size() > WriteLength) {
    xLog(Tag, LogDebug, FN(WriteData), "Feature8100OnboardProfiles::WriteData invalid parameter");
    LastError::set(InvalidValue);
    return false;
  }
  Bytes params = data;
  params.resize(WriteLength);
  Bytes p;
  if (!command(WriteDataFunction, params, p, FN(WriteData), "Feature8100OnboardProfiles::WriteData failed"))
    return false;
  if (tooShort(p, 2)) return false;
  store(status, bigEndian16(p, 0));
  return true;
}

bool Feature8100OnboardProfiles::EndWrite() {
  Bytes p;
  return command(EndWriteFunction, {}, p, FN(EndWrite), "Feature8100OnboardProfiles::EndWrite failed");
}

bool Feature8100OnboardProfiles::ExecuteMacro(int a, int b) {
  Bytes p;
  return command(ExecuteMacroFunction, words({a, b}), p, FN(ExecuteMacro),
                 "Feature8100OnboardProfiles::ExecuteMacro failed");
}

// A failure logs ExecuteMacro's text: both operations share that line.
bool Feature8100OnboardProfiles::GetCRC(int sector, Bytes* crc) {
  Bytes p;
  if (!command(GetCRCFunction, words({sector}), p, FN(GetCRC), "Feature8100OnboardProfiles::ExecuteMacro failed"))
    return false;
  if (crc) *crc = std::move(p);
  return true;
}

// The base accepts no answer with fewer than 3 payload bytes, so byte 0 is always there.
bool Feature8100OnboardProfiles::GetActiveProfileResolution(int* index) {
  Bytes p;
  if (!command(GetActiveProfileResolutionFunction, {}, p, FN(GetActiveProfileResolution),
               "Feature8100OnboardProfiles::GetActiveProfileResolution failed"))
    return false;
  store(index, p[0]);
  return true;
}

bool Feature8100OnboardProfiles::SetActiveProfileResolution(int index) {
  Bytes p;
  return command(SetActiveProfileResolutionFunction, {static_cast<Byte>(index)}, p, FN(SetActiveProfileResolution),
                 "Feature8100OnboardProfiles::SetActiveProfileResolution failed");
}

void Feature8100OnboardProfiles::onFeatureReport(int function, const Bytes& payload) {
  if (function == ProfileActivated && payload.size() >= 2) {
    const auto profile = static_cast<ProfileId>(bigEndian16(payload, 0));
    Producer<Report>::produce([profile](Report* s) { s->onProfileActivated(profile); },
                              "Feature8100OnboardProfiles::Report::onProfileActivated");
  } else if (function == ResolutionChanged && !payload.empty()) {
    const int index = payload[0];
    Producer<Report>::produce([index](Report* s) { s->onActiveProfileResolutionChanged(index); },
                              "Feature8100OnboardProfiles::Report::onActiveProfileResolutionChanged");
  }
}

}  // namespace devio
