#pragma once

#include <memory>

#include "devio/features/IFeature1815HostsInfos.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature1815HostsInfos : public Feature, public IFeature1815HostsInfos {
 public:
  static constexpr unsigned Id = 0x1815;

  Feature1815HostsInfos(int index, std::weak_ptr<IDevice> device);

  bool GetFeatureInfos(int* capabilities, int* count, int* current) override;
  bool GetHostInfos(int host, int* status, int* busType, int* nameLength, int* maxNameLength) override;
  bool GetHostFriendlyName(int host, int offset, std::string* piece) override;
  bool GetHostFriendlyName(int host, std::string* name) override;
  bool SetHostFriendlyName(int host, int offset, const std::string& piece) override;
  bool MoveHost(int host, int position) override;
  bool DeleteHost(int host) override;
  bool SetHostDescriptor(int host, const Bytes& descriptor) override;
  bool GetHostOSVersion(int host, int* os, int* major, int* minor) override;
  bool SetHostOSVersion(int host, int os, int major, int minor) override;
};

}  // namespace devio
