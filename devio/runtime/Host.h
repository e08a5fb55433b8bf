#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace devio {

// The few host services of the logging module: debugger output, paths and files, process and
// thread identity, times. One implementation per host (Host_win32.cpp, Host_posix.cpp); the
// host-independent parts are in Host.cpp. Paths are UTF-8. Times named "file time" count
// 100-nanosecond units since 1601-01-01 UTC.
class Host {
 public:
  // Windows: OutputDebugStringA, seen only by an attached debugger. POSIX: invisible as well,
  // unless the environment variable DEVIO_DEBUG_OUTPUT names a destination: "stderr" or a file
  // to append to.
  static void debuggerOutput(const char* text);

  // The user's temporary directory with a trailing separator (Windows: GetTempPath; POSIX:
  // $TMPDIR or /tmp).
  static std::string temporaryDirectory();
  // '\\' on Windows, '/' on POSIX.
  static char pathSeparator();
  // Creates the directory unless it exists; true when it exists afterwards.
  static bool createDirectory(const std::string& path);

  struct FileInfo {
    std::string name;  // without directory
    std::int64_t lastWriteTime;  // file time
  };
  // The regular files of a directory (empty when it cannot be read).
  static std::vector<FileInfo> listFiles(const std::string& directory);
  // Deletes a file; false with the host's error number in LastError's detail.
  static bool deleteFile(const std::string& path);
  // Opens a file for appending in text mode; null when it cannot be opened.
  static std::FILE* openForAppend(const std::string& path);

  static unsigned processId();
  // Cheap: cached per thread where the host call is not.
  static unsigned threadId();
  // The executable's file name without directory, cut at its first '.', at most 19 characters.
  static std::string moduleName();
  // When this process was created (file time).
  static std::int64_t processCreationTime();
  // Now (file time).
  static std::int64_t systemTime();
  // Broken-down local time.
  static std::tm localTime(std::time_t time);
  // Puts the calling thread at the host's lowest scheduling priority.
  static void lowerThreadPriority();

  // The module name of an executable path (the rule of moduleName()).
  static std::string moduleNameOf(const std::string& executablePath);
};

}  // namespace devio
