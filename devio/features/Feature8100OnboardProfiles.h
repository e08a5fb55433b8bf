#pragma once

#include <cstddef>
#include <memory>

#include "devio/features/IFeature8100OnboardProfiles.h"
#include "devio/protocol/Feature.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Every request is sent uncached: profile memory and modes are always the device's own.
class Feature8100OnboardProfiles : public Feature,
                                   public IFeature8100OnboardProfiles,
                                   public Producer<IFeature8100OnboardProfiles::Report> {
 public:
  static constexpr unsigned Id = 0x8100;

  Feature8100OnboardProfiles(int index, std::weak_ptr<IDevice> device);

  bool GetOnboardProfilesInfo(OnboardProfilesInfo* info) override;
  bool SetOnboardMode(bool on) override;
  bool IsOnboardMode(bool* on) override;
  bool SetActiveProfile(int profile) override;
  bool GetActiveProfile(int* profile) override;
  bool ReadData(int sector, int offset, Bytes* data) override;
  bool BeginWrite(int sector, int offset, int length) override;
  bool WriteData(const Bytes& data, int* status) override;
  bool EndWrite() override;
  bool ExecuteMacro(int a, int b) override;
  bool GetCRC(int sector, Bytes* crc) override;
  bool GetActiveProfileResolution(int* index) override;
  bool SetActiveProfileResolution(int index) override;

  // Function 0: onProfileActivated; function 1: onActiveProfileResolutionChanged; others and
  // payloads too short for the value are dropped.
  void onFeatureReport(int function, const Bytes& payload) override;

 private:
  // One exchange; a failure is logged at level 3 under operation with the text failure.
  bool command(int function, const Bytes& params, Bytes& payload, const char* operation, const char* failure);
  // True, with LastError CommandResponseTooShort, when payload is shorter than minimum.
  static bool tooShort(const Bytes& payload, std::size_t minimum);
};

}  // namespace devio
