#pragma once

#include <cstdint>

namespace devio {

// LED control (0x1300): the device's individually controllable LEDs (count, type,
// capabilities), software control over them, each LED's state and its non-volatile
// configuration (how it behaves at power-up). An index argument outside 0..255 (the request
// carries it in one byte) is refused with Velo20Error2 before anything is sent. Every pointer argument may be null; that value is then
// not stored. Fires no events.
class IFeature1300LEDControl {
 public:
  // Types: 1 battery, 2 DPI, 3 profile, 4 logo, 5 cosmetic.
  struct LEDInfo {
    std::uint32_t index = 0;
    std::uint32_t type = 0;
    std::uint32_t physicalLEDs = 0;
    std::uint32_t capabilities = 0;    // low byte: off, on, blink, traveling, ramp up, ramp down, heartbeat, breathing
    std::uint32_t nvCapabilities = 0;  // 1 always off, 2 always on, 4 on then off
  };

  virtual ~IFeature1300LEDControl() = default;
  virtual bool GetLEDCount(int* count) = 0;
  virtual bool GetLEDInfo(int index, LEDInfo* info) = 0;
  virtual bool HasSWControl(bool* control) = 0;
  virtual bool SetSWControl(int value) = 0;
  virtual bool GetLEDState(int index, int* state) = 0;
  // state := byte 1, extra := byte 3; when byte 4 is 1, flagged := true and value := byte 5,
  // else false and 0. An answer without bytes 3 to 5 fails with CommandResponseTooShort.
  virtual bool GetLEDStateAdditionalInfo(int index, int* state, int* extra, bool* flagged, int* value) = 0;
  // a to d travel as two bytes each, high byte first.
  virtual bool SetLEDState(int index, int a, int b, int c, int d) = 0;
  virtual bool GetNvConfig(int index, int* config) = 0;
  virtual bool SetNvConfig(int index, int config) = 0;
};

// Defined with Feature1300LEDControl; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1300 {
 public:
  IFeatureForceInclusion1300();
};
[[maybe_unused]] static const IFeatureForceInclusion1300 forceInclusion1300;

}  // namespace devio
