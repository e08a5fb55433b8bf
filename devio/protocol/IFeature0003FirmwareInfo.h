#pragma once

#include <string>
#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Firmware information (0x0003): the firmware entities of the device (type, prefix, version,
// build, flags) and its unit, transport and model ids. Every pointer argument may be null;
// that value is then not stored.
class IFeature0003FirmwareInfo {
 public:
  virtual ~IFeature0003FirmwareInfo() = default;
  virtual bool GetEntityCount(int* count, int* unitId, int* transport, int* pid1, int* pid2, int* pid3,
                              int* extendedModelId, bool cacheable) = 0;
  // Version and build as four upper-case hexadecimal digits of the values the device sent.
  virtual bool GetFwInfo(int entity, int* fwType, std::string* prefix, std::string* version, std::string* build,
                         int* rdnf, std::vector<Byte>* extra, bool cacheable) = 0;
  // Version and build as the device sent them (BCD as a rule).
  virtual bool GetFwInfo(int entity, int* fwType, std::string* prefix, unsigned short* bcdVersion,
                         unsigned short* bcdBuild, int* rdnf, std::vector<Byte>* extra, bool cacheable) = 0;
  // Dotted version text ("102.7.25") of the first entity of firmware type 0.
  virtual bool GetFirmwareVersion(std::string* version) = 0;
  // Raw values of the first entity of type fwType; the outputs hold the last entity read.
  virtual bool FindFwInfo(int fwType, std::string* prefix, unsigned short* bcdVersion, unsigned short* bcdBuild,
                          int* rdnf, std::vector<Byte>* extra) = 0;
  // transport × 65536 + pid1, or the device's product id when the transport is 0.
  virtual bool GetModelId(int* model) = 0;
  virtual bool GetExtendedModelId(int* extendedModelId, bool cacheable) = 0;
};

// Defined with Feature0003FirmwareInfo; see IFeatureForceInclusion0000.
class IFeatureForceInclusion0003 {
 public:
  IFeatureForceInclusion0003();
};
[[maybe_unused]] static const IFeatureForceInclusion0003 forceInclusion0003;

}  // namespace devio
