#pragma once

#include <string>

#include "devio/protocol/Byte.h"

namespace devio {

// Hosts information (0x1815): what a multi-host device knows of each host.
// Function 1: [host] -> [host, status, bus type, name length, maximum name length];
// functions 2 and 3: [host, offset, characters]; function 7: [host] -> [host, OS type, major, minor].
class IFeature1815HostsInfos {
 public:
  virtual ~IFeature1815HostsInfos() = default;
  virtual bool GetFeatureInfos(int* capabilities, int* count, int* current) = 0;
  virtual bool GetHostInfos(int host, int* status, int* busType, int* nameLength, int* maxNameLength) = 0;
  virtual bool GetHostFriendlyName(int host, int offset, std::string* piece) = 0;
  virtual bool GetHostFriendlyName(int host, std::string* name) = 0;
  virtual bool SetHostFriendlyName(int host, int offset, const std::string& piece) = 0;
  virtual bool MoveHost(int host, int position) = 0;
  virtual bool DeleteHost(int host) = 0;
  virtual bool SetHostDescriptor(int host, const Bytes& descriptor) = 0;
  virtual bool GetHostOSVersion(int host, int* os, int* major, int* minor) = 0;
  virtual bool SetHostOSVersion(int host, int os, int major, int minor) = 0;
};

}  // namespace devio
