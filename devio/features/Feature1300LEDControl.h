#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "devio/features/IFeature1300LEDControl.h"
#include "devio/protocol/Feature.h"

namespace devio {

// Every request is sent uncached: LED states and configurations are always the device's own.
class Feature1300LEDControl : public Feature, public IFeature1300LEDControl {
 public:
  static constexpr unsigned Id = 0x1300;

  Feature1300LEDControl(int index, std::weak_ptr<IDevice> device);

  bool GetLEDCount(int* count) override;
  bool GetLEDInfo(int index, LEDInfo* info) override;
  bool HasSWControl(bool* control) override;
  bool SetSWControl(int value) override;
  bool GetLEDState(int index, int* state) override;
  bool GetLEDStateAdditionalInfo(int index, int* state, int* extra, bool* flagged, int* value) override;
  bool SetLEDState(int index, int a, int b, int c, int d) override;
  bool GetNvConfig(int index, int* config) override;
  bool SetNvConfig(int index, int config) override;

  // The line GetLEDInfo logs for one LED.
  static std::string describe(const LEDInfo& info);

 private:
  // False, logged under operation with message and LastError Velo20Error2, for an index that
  // does not fit the request's one byte (below 0 or above 255).
  static bool validIndex(int index, const char* operation, const char* message);
  // One exchange; a failure is logged under operation with the text failure.
  bool command(int function, const Bytes& params, Bytes& payload, const char* operation, const char* failure);
  // False, logged and with LastError CommandResponseTooShort, when payload is shorter than minimum.
  static bool longEnough(const Bytes& payload, std::size_t minimum, const char* operation, const char* message);
};

}  // namespace devio
