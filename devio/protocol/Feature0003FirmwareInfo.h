#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"

namespace devio {

// Holds no state: every operation asks the device (or the response cache) again.
class Feature0003FirmwareInfo : public Feature, public IFeature0003FirmwareInfo {
 public:
  static constexpr unsigned Id = 0x0003;

  Feature0003FirmwareInfo(int index, std::weak_ptr<IDevice> device);

  bool GetEntityCount(int* count, int* unitId, int* transport, int* pid1, int* pid2, int* pid3, int* extendedModelId,
                      bool cacheable) override;
  bool GetFwInfo(int entity, int* fwType, std::string* prefix, std::string* version, std::string* build, int* rdnf,
                 std::vector<Byte>* extra, bool cacheable) override;
  bool GetFwInfo(int entity, int* fwType, std::string* prefix, unsigned short* bcdVersion, unsigned short* bcdBuild,
                 int* rdnf, std::vector<Byte>* extra, bool cacheable) override;
  bool GetFirmwareVersion(std::string* version) override;
  bool FindFwInfo(int fwType, std::string* prefix, unsigned short* bcdVersion, unsigned short* bcdBuild, int* rdnf,
                  std::vector<Byte>* extra) override;
  bool GetModelId(int* model) override;
  bool GetExtendedModelId(int* extendedModelId, bool cacheable) override;
};

}  // namespace devio
