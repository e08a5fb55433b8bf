#include "devio/runtime/XLogPlatformSpecific.h"

#include <algorithm>
#include <vector>

#include "devio/protocol/LastError.h"
#include "devio/runtime/Host.h"
#include "devio/runtime/Logger.h"
#include "devio/runtime/XLog.h"

namespace devio {

void XLogPlatformSpecific::purgeOldLogFiles(Logger& logger, const std::string& directory, const std::string& module) {
  constexpr const char* fn = "devio::XLogPlatformSpecific::purgeOldLogFiles";
  constexpr std::int64_t kDay = 24LL * 60 * 60 * 10000000;  // in file time units
  const std::string suffix = "_" + module + "_devio.dblog";
  std::vector<Host::FileInfo> files = Host::listFiles(directory);
  std::erase_if(files, [&](const Host::FileInfo& file) {
    return !file.name.starts_with("xlog_") || !file.name.ends_with(suffix) ||
           file.name.size() < 5 + suffix.size();
  });
  if (files.empty()) return;
  const std::int64_t newest = std::ranges::max(files, {}, &Host::FileInfo::lastWriteTime).lastWriteTime;
  for (const auto& file : files) {
    const int age = int((newest - file.lastWriteTime) / kDay);
    const std::string path = directory + file.name;
    if (age < 7) {
      logger.log("Untagged", LogVerbose, fn, "Keeping %d day old log file %s", age, path.c_str());
    } else if (Host::deleteFile(path)) {
      logger.log("Untagged", LogVerbose, fn, "Purging %d day old log file %s", age, path.c_str());
    } else {
      logger.log("Untagged", LogWarning, fn, "DeleteFile failed on %s, err=%d", path.c_str(),
                 int(LastError::get().detail));
    }
  }
}

}  // namespace devio
