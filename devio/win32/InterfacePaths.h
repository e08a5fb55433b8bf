#pragma once

#include <string>
#include <vector>

#include "devio/win32/IWin32System.h"

namespace devio {

// The paths of the present device interfaces of one class (the Bluetooth radios, the GATT
// service's devices). An interface whose path cannot be read is logged with the caller's texts
// (each with one %d for the error) and skipped.
class InterfacePaths {
 public:
  struct Log {
    const char* tag;
    const char* lengthError;  // the size probe failed
    const char* detailError;  // reading the path failed
  };

  // Throws DevioException (EnumerationFailed) when the host cannot list the class.
  static std::vector<std::string> present(IWin32System& system, const GUID& interfaceClass, const Log& log);
};

}  // namespace devio
