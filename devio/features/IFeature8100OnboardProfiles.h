#pragma once

#include <array>
#include <cstdint>

#include "devio/protocol/Byte.h"

namespace devio {

// An onboard profile's identifier, carried as a 16-bit number.
enum class ProfileId : std::uint16_t {};

// Onboard profiles (0x8100): the device's onboard-profile memory (sectors of profile and macro
// data), the onboard mode switch, the active profile and the active resolution index. Every
// pointer argument may be null; that value is then not stored. Multi-byte values travel high
// byte first.
class IFeature8100OnboardProfiles {
 public:
  class Report {
   public:
    virtual void onProfileActivated(ProfileId profile) = 0;
    virtual void onActiveProfileResolutionChanged(int index) = 0;
    virtual ~Report() = default;
  };

  // What GetOnboardProfilesInfo reads, in payload order; the device defines the meaning.
  struct OnboardProfilesInfo {
    std::array<std::uint32_t, 7> bytes{};  // payload bytes 0 to 6, one each
    std::uint32_t word = 0;                // payload bytes 7-8
    bool lowPairIsTwo = false;             // (byte 9 & 0x03) == 2
    bool highPairIsTwo = false;            // (byte 9 & 0x0C) == 8
  };

  virtual ~IFeature8100OnboardProfiles() = default;
  virtual bool GetOnboardProfilesInfo(OnboardProfilesInfo* info) = 0;
  virtual bool SetOnboardMode(bool on) = 0;
  virtual bool IsOnboardMode(bool* on) = 0;
  virtual bool SetActiveProfile(int profile) = 0;
  virtual bool GetActiveProfile(int* profile) = 0;
  // One answer of at least 16 bytes, returned whole; the caller advances offset by its size.
  virtual bool ReadData(int sector, int offset, Bytes* data) = 0;
  // A write: BeginWrite, WriteData with successive slices of 1 to 16 bytes, EndWrite.
  virtual bool BeginWrite(int sector, int offset, int length) = 0;
  // Sends data zero-padded to 16 bytes; empty or longer data is refused (InvalidValue).
  virtual bool WriteData(const Bytes& data, int* status) = 0;
  virtual bool EndWrite() = 0;
  virtual bool ExecuteMacro(int a, int b) = 0;
  virtual bool GetCRC(int sector, Bytes* crc) = 0;
  virtual bool GetActiveProfileResolution(int* index) = 0;
  virtual bool SetActiveProfileResolution(int index) = 0;
};

// Defined with Feature8100OnboardProfiles; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8100 {
 public:
  IFeatureForceInclusion8100();
};
[[maybe_unused]] static const IFeatureForceInclusion8100 forceInclusion8100;

}  // namespace devio
