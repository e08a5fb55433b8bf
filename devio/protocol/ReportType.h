#pragma once

namespace devio {

// Class of an incoming report, assigned once by the command engine's read handler.
enum class ReportType : int {
  Ignored = 0,
  Response = 1,
  ForeignResponse = 2,
  Notification = 3,
};

}  // namespace devio
