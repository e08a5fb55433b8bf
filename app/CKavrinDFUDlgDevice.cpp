// The device-facing procedures of CKavrinDFUDlg: version check, update mode, block transfer,
// and the backup and restore of the keyboard's lighting and onboard profiles.
#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "app/CFirmwareImages.h"
#include "app/CKavrinDFUDlg.h"
#include "devio/features/IFeature1300LEDControl.h"
#include "devio/features/IFeature8100OnboardProfiles.h"
#include "devio/protocol/IFeature.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace {

constexpr unsigned LedTypeDpi = 2;
constexpr unsigned LedTypeLogo = 4;
constexpr int MaxLeds = 16;
constexpr int SectorCount = 3;

// The number formed by the leading decimal digits of text, modulo 65536; 0 without digits.
std::uint32_t leadingNumber(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = (value * 10 + static_cast<std::uint32_t>(c - '0')) & 0xFFFF;
  }
  return value;
}

// The version a keyboard of the variant needs at least, as second number × 65536 + third.
std::uint32_t CurrentVersion(bool secondVariant) { return secondVariant ? (12u << 16 | 12u) : (3u << 16 | 11u); }

struct LightingLed {
  int index;
  unsigned type;
};

// The logo and DPI LEDs, whose lighting the update keeps; none when the count cannot be read or
// is implausible. LEDs whose description cannot be read are skipped.
std::optional<std::vector<LightingLed>> LightingLeds(devio::IFeature1300LEDControl& leds) {
  int count = 0;
  if (!leds.GetLEDCount(&count) || count > MaxLeds) return std::nullopt;
  std::vector<LightingLed> found;
  for (int i = 0; i < count; ++i) {
    devio::IFeature1300LEDControl::LEDInfo led;
    if (leds.GetLEDInfo(i, &led) && (led.type == LedTypeLogo || led.type == LedTypeDpi)) {
      found.push_back({static_cast<int>(led.index), led.type});
    }
  }
  return found;
}

}  // namespace

template <class I>
std::shared_ptr<I> CKavrinDFUDlg::FetchFeature(unsigned id) {
  if (!device_) return nullptr;
  auto feature = device_->feature_by_id(id);
  if (!feature) return nullptr;
  auto typed = std::dynamic_pointer_cast<I>(feature);
  if (!typed) devio::LastError::set(devio::GeneralError, 0, "cannot cast feature to proper type");
  return typed;
}

void CKavrinDFUDlg::FetchDfu() {
  dfu_ = FetchFeature<devio::IFeature00d0DFU>(0x00D0);
}

bool CKavrinDFUDlg::LoadFirmware() {
  imageSize_ = 0;
  imageData_ = nullptr;
  blockCount_ = 0;
  bytesSent_ = 0;
  const auto image = CFirmwareImages::forVariant(variant_);
  if (image.empty()) return false;
  imageData_ = image.data();
  imageSize_ = static_cast<std::uint32_t>(image.size());
  blockCount_ = (imageSize_ + BlockSize - 1) / BlockSize;
  host_.setProgressRange(IDC_PROGRESS, imageSize_ + ProfileBufferSize);
  return true;
}

void CKavrinDFUDlg::CheckVersion() {
  if (!LoadFirmware()) ReportFatalError();
  if (!device_) return;
  const auto version = ReadVersion();
  // Back from an update, or from one interrupted by an unplug: only its version tells whether
  // the new firmware runs, so an unreadable one is a failure, never a wait.
  if (state_ == 5 || state_ == 6 || (state_ == 0 && BackupHeld())) {
    FinishUpdate(version);
    return;
  }
  if (!version) return;
  StopTimers();
  if (*version >= CurrentVersion(variant_)) {
    // An update that an earlier run started has finished without it: its settings are due.
    if (state_ == 0 && LoadStoredBackup()) {
      SetState(6);
      return;
    }
    // Whatever was backed up for this keyboard is not needed.
    if (state_ == 0 || state_ == 3) {
      DiscardBackup();
      SetState(8);
    }
    return;
  }
  if (state_ != 0 && state_ != 3) return;
  // Old firmware: back up what the restore writes back after the update (state 2), then arm the
  // update mode (state 3). Back in normal mode while state 3 waits for update mode, the keyboard
  // did not take the request: ask again, a few times.
  if (state_ == 3 && armRounds_ >= MaxArmRounds) {
    devio::xLog(LogTag, devio::LogError, "CKavrinDFUDlg::CheckVersion", "the keyboard did not enter update mode");
    ReportFatalError();
    return;
  }
  dfuControl_ = FetchFeature<devio::IFeature00c1DFUControl>(0x00C1);
  if (dfuControl_) {
    SetState(state_ == 0 ? 2 : 3);
  } else if (state_ == 3) {
    ReportFatalError();
  }
}

std::optional<std::uint32_t> CKavrinDFUDlg::ReadVersion() {
  auto info = FetchFeature<devio::IFeature0003FirmwareInfo>(0x0003);
  std::string version;
  if (!info || !info->GetFirmwareVersion(&version)) return std::nullopt;

  // "371.3.11": the first number is not used; a four-character third number beginning with
  // "99" carries its value in the last two digits.
  const auto firstDot = version.find('.');
  if (firstDot == std::string::npos) return std::nullopt;
  const auto secondDot = version.find('.', firstDot + 1);
  if (secondDot == std::string::npos) return std::nullopt;
  const std::string_view text(version);
  const std::uint32_t b = leadingNumber(text.substr(firstDot + 1, secondDot - firstDot - 1));
  std::string_view t = text.substr(secondDot + 1);
  if (t.size() == 4 && t.starts_with("99")) t.remove_prefix(2);
  return b << 16 | leadingNumber(t);
}

void CKavrinDFUDlg::FinishUpdate(std::optional<std::uint32_t> version) {
  StopTimers();
  if (version && *version >= CurrentVersion(variant_)) {
    SetState(6);
    return;
  }
  devio::xLog(LogTag, devio::LogError, "CKavrinDFUDlg::FinishUpdate",
              version ? "the keyboard came back with its old firmware (%u.%u)" : "the keyboard's version cannot be read",
              version.value_or(0) >> 16, version.value_or(0) & 0xFFFF);
  FailUpdate();
}

void CKavrinDFUDlg::FailUpdate() {
  RestoreLighting();
  RestoreProfiles();
  ReportFatalError();
}

void CKavrinDFUDlg::ArmUpdateMode() {
  if (!device_ || !dfuControl_ || !imageData_ || imageSize_ == 0) return;
  ++armRounds_;
  // The keyboard enters update mode when the user replugs it; asking for a replug that cannot
  // work would strand the user.
  if (!dfuControl_->SetDfuControl(1, 0, 0, 0)) {
    devio::xLog(LogTag, devio::LogError, "CKavrinDFUDlg::ArmUpdateMode", "SetDfuControl failed, error %d",
                static_cast<int>(devio::LastError::get().code));
    ReportFatalError();
  }
}

devio::Bytes CKavrinDFUDlg::ReadBlock(std::uint32_t n) const {
  const auto offset = static_cast<std::uint32_t>(bytesSent_);
  if (!imageData_ || imageSize_ == 0 || offset + BlockSize > imageSize_ || n > blockCount_) return {};
  return devio::Bytes(imageData_ + offset, imageData_ + offset + BlockSize);
}

bool CKavrinDFUDlg::SendNextBlock(unsigned n) {
  if (!dfu_) return false;
  const devio::Bytes block = ReadBlock(n + 1);
  if (block.empty()) return false;
  bool ok;
  if (bytesSent_ == 0) {
    int status = 0;
    devio::Bytes response;
    ok = dfu_->DFUStart(block, &status, &response) && status <= 3;
  } else {
    ok = dfu_->DFUSendPacket(n, block);
  }
  if (!ok) {
    host_.setTimer(RetryTimerId, RetryTimerMs);
    return false;
  }
  bytesSent_ += BlockSize;
  host_.setProgressPosition(IDC_PROGRESS, host_.progressPosition(IDC_PROGRESS) + BlockSize);
  host_.setTimer(WatchdogTimerId, WatchdogTimerMs);
  return true;
}

void CKavrinDFUDlg::onDfuStatus(unsigned packet, devio::Bytes payload) {
  // Only the status of the block just sent moves the transfer on: a repeated or stale one would
  // send the next block under the wrong packet number.
  const auto lastSent = static_cast<unsigned>(bytesSent_) / BlockSize - 1;
  if (state_ != 4 || bytesSent_ == 0 || packet != lastSent) {
    devio::xLog(LogTag, devio::LogWarning, "CKavrinDFUDlg::onDfuStatus",
                "ignoring a status for packet %u (state %d, last packet sent %d)", packet, state_,
                static_cast<int>(lastSent));
    return;
  }
  // A payload without a status byte is an error status.
  const int status = payload.size() > 4 ? payload[4] : -1;
  switch (status) {
    case 1:
      SendNextBlock(packet);
      break;
    case 2:
      SetState(5);
      if (dfu_) dfu_->DFURestart(0);
      break;
    case 3:
      break;
    default:
      host_.setTimer(RetryTimerId, RetryTimerMs);
      break;
  }
}

bool CKavrinDFUDlg::RestoreLighting() {
  // Only values read from this keyboard are written back, each to the LED it was read from (or,
  // from a copy stored by an earlier run, to the LEDs of its type).
  LoadStoredBackup();
  if (!lightingBackedUp_ || !device_ || device_->pid() == PidUpdateFirst) return false;
  auto leds = FetchFeature<devio::IFeature1300LEDControl>(0x1300);
  if (!leds) return false;
  const auto found = LightingLeds(*leds);
  if (!found) return false;
  for (const LightingLed& led : *found) {
    auto saved = std::find_if(lightingBackup_.begin(), lightingBackup_.end(),
                              [&led](const LightingEntry& entry) { return entry.index == led.index; });
    if (saved == lightingBackup_.end()) {
      saved = std::find_if(lightingBackup_.begin(), lightingBackup_.end(),
                           [&led](const LightingEntry& entry) { return entry.index < 0 && entry.type == led.type; });
    }
    if (saved != lightingBackup_.end() && !leds->SetNvConfig(led.index, saved->value)) return false;
  }
  return true;
}

bool CKavrinDFUDlg::RestoreProfiles() {
  if (!device_) return false;
  auto profiles = FetchFeature<devio::IFeature8100OnboardProfiles>(0x8100);
  if (!profiles) return false;
  if (!LoadStoredBackup() || profileBuffer_.size() != ProfileBufferSize || sectorsRead_ != SectorCount) return false;
  std::size_t offset = 0;
  for (int sector = 0; sector < SectorCount; ++sector) {
    if (!profiles->BeginWrite(sector, 0, static_cast<int>(SectorSize))) return false;
    for (std::uint32_t slice = 0; slice < SectorSize / BlockSize; ++slice, offset += BlockSize) {
      const devio::Bytes data(profileBuffer_.begin() + offset, profileBuffer_.begin() + offset + BlockSize);
      if (!profiles->WriteData(data, nullptr)) return false;
    }
    profiles->EndWrite();
  }
  profiles->SetActiveProfile(profileId_);
  profiles->SetActiveProfileResolution(resolutionIndex_);
  // Written back: the stored copy must never be replayed over later changes.
  settings_.deleteValue(SettingsKey, "ProfileData");
  host_.setProgressPosition(IDC_PROGRESS, host_.progressPosition(IDC_PROGRESS) + SectorSize);
  return true;
}

bool CKavrinDFUDlg::LoadStoredBackup() {
  if (!profileBuffer_.empty()) return true;
  // A complete copy or nothing. Its lighting values (one per LED type) stand in only for a
  // lighting backup this run did not take.
  auto data = settings_.readBinary(SettingsKey, "ProfileData");
  if (!data || data->size() != ProfileBufferSize) return false;
  const auto profile = settings_.readNumber(SettingsKey, "ProfileId");
  const auto resolution = settings_.readNumber(SettingsKey, "ResIndex");
  const auto logo = settings_.readNumber(SettingsKey, "LogoLighting");
  const auto dpi = settings_.readNumber(SettingsKey, "DpiLighting");
  if (!profile || !resolution || !logo || !dpi) return false;
  profileBuffer_ = std::move(*data);
  profileId_ = static_cast<std::int32_t>(*profile);
  resolutionIndex_ = static_cast<std::int32_t>(*resolution);
  sectorsRead_ = SectorCount;
  if (!lightingBackedUp_) {
    lightingBackup_ = {{-1, LedTypeLogo, static_cast<int>(*logo)}, {-1, LedTypeDpi, static_cast<int>(*dpi)}};
    lightingBackedUp_ = true;
  }
  return true;
}

bool CKavrinDFUDlg::BackupLighting() {
  lightingBackup_.clear();
  lightingBackedUp_ = false;
  if (!device_) return false;
  auto leds = FetchFeature<devio::IFeature1300LEDControl>(0x1300);
  if (!leds) return false;
  const auto found = LightingLeds(*leds);
  if (!found) return false;
  for (const LightingLed& led : *found) {
    int config = 0;
    if (!leds->GetNvConfig(led.index, &config)) return false;
    lightingBackup_.push_back({led.index, led.type, config});
  }
  lightingBackedUp_ = true;
  return true;
}

bool CKavrinDFUDlg::BackupProfiles() {
  struct WaitCursor {
    IDialogHost& host;
    explicit WaitCursor(IDialogHost& h) : host(h) { host.setWaitCursor(true); }
    ~WaitCursor() { host.setWaitCursor(false); }
  } waitCursor(host_);
  if (!device_) return false;
  auto profiles = FetchFeature<devio::IFeature8100OnboardProfiles>(0x8100);
  if (!profiles) return false;
  // The lighting just read by BackupLighting stays.
  profileBuffer_.clear();
  sectorsRead_ = 0;
  profileId_ = 0;
  resolutionIndex_ = 0;
  if (!profiles->GetOnboardProfilesInfo(nullptr)) return false;
  profileBuffer_.assign(ProfileBufferSize, 0xFF);
  if (!profiles->GetActiveProfile(&profileId_) || !profiles->GetActiveProfileResolution(&resolutionIndex_)) {
    return false;
  }
  for (int sector = 0; sector < SectorCount; ++sector) {
    // Each sector fills its own 1024 bytes; bytes an answer carries beyond the sector's end
    // are dropped, so no sector's data shifts into the next one or past the buffer.
    const auto sectorStart = profileBuffer_.begin() + sector * SectorSize;
    std::uint32_t offset = 0;
    while (offset < SectorSize) {
      devio::Bytes data;
      if (!profiles->ReadData(sector, static_cast<int>(offset), &data) || data.empty()) return false;
      const auto kept = std::min<std::size_t>(data.size(), SectorSize - offset);
      std::copy_n(data.begin(), kept, sectorStart + offset);
      offset += static_cast<std::uint32_t>(kept);
    }
    ++sectorsRead_;
  }
  SetState(3);
  return true;
}

void CKavrinDFUDlg::StoreBackup() {
  if (sectorsRead_ != SectorCount || backupStored_) return;
  backupStored_ = true;
  const auto lighting = [this](unsigned type) {
    const auto led = std::find_if(lightingBackup_.begin(), lightingBackup_.end(),
                                  [type](const LightingEntry& entry) { return entry.type == type; });
    return led == lightingBackup_.end() ? 0u : static_cast<std::uint32_t>(led->value);
  };
  const bool stored = settings_.writeBinary(SettingsKey, "ProfileData", profileBuffer_) &&
                      settings_.writeNumber(SettingsKey, "ProfileId", static_cast<std::uint32_t>(profileId_)) &&
                      settings_.writeNumber(SettingsKey, "ResIndex", static_cast<std::uint32_t>(resolutionIndex_)) &&
                      settings_.writeNumber(SettingsKey, "LogoLighting", lighting(LedTypeLogo)) &&
                      settings_.writeNumber(SettingsKey, "DpiLighting", lighting(LedTypeDpi));
  if (!stored) devio::xLog(LogTag, devio::LogWarning, "CKavrinDFUDlg::StoreBackup", "the backup could not be stored");
}

void CKavrinDFUDlg::DiscardBackup() {
  profileBuffer_.clear();
  sectorsRead_ = 0;
  profileId_ = 0;
  resolutionIndex_ = 0;
  lightingBackup_.clear();
  lightingBackedUp_ = false;
}
