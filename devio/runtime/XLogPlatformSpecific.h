#pragma once

#include <string>

namespace devio {

class Logger;

// The log directory's housekeeping.
class XLogPlatformSpecific {
 public:
  // Deletes this module's log files ("xlog_*_<module>_devio.dblog" in directory) whose last
  // write is 7 or more whole days older than the newest one's, logging each file kept or
  // purged (level 4) and each failed deletion (level 1).
  static void purgeOldLogFiles(Logger& logger, const std::string& directory, const std::string& module);
};

}  // namespace devio
