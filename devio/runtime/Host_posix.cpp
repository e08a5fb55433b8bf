#include "devio/runtime/Host.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "devio/protocol/LastError.h"

namespace devio {

namespace {

constexpr std::int64_t kUnixEpoch = 116444736000000000LL;  // 1970-01-01 in file time
constexpr std::int64_t kTicksPerSecond = 10000000;

// Where debugger output goes: nowhere unless DEVIO_DEBUG_OUTPUT names a destination.
class DebugDestination {
 public:
  DebugDestination() {
    const char* target = std::getenv("DEVIO_DEBUG_OUTPUT");
    if (!target || !*target) return;
    file_ = std::string(target) == "stderr" ? stderr : std::fopen(target, "a");
  }

  void write(const char* text) {
    if (!file_) return;
    std::lock_guard lock(mutex_);
    std::fputs(text, file_);
    std::fflush(file_);
  }

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

std::int64_t creationTime() {
  // Field 22 of /proc/self/stat: start time in clock ticks after boot; the boot time is in /proc/stat.
  std::ifstream statFile("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
  const auto commEnd = stat.rfind(')');
  if (commEnd == std::string::npos) return Host::systemTime();
  std::istringstream fields(stat.substr(commEnd + 1));
  std::string field;
  for (int index = 3; index <= 22; ++index) fields >> field;  // the fields after the name start at 3
  const long long startTicks = std::atoll(field.c_str());
  std::ifstream bootFile("/proc/stat");
  std::string word;
  long long bootSeconds = -1;
  while (bootFile >> word) {
    if (word == "btime") {
      bootFile >> bootSeconds;
      break;
    }
  }
  const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
  if (bootSeconds < 0 || ticksPerSecond <= 0) return Host::systemTime();
  return kUnixEpoch + bootSeconds * kTicksPerSecond + startTicks * kTicksPerSecond / ticksPerSecond;
}

}  // namespace

void Host::debuggerOutput(const char* text) {
  static DebugDestination* destination = new DebugDestination;  // never destroyed: used at exit
  destination->write(text);
}

std::string Host::temporaryDirectory() {
  std::string dir = "/tmp/";
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) dir = tmp;
  if (dir.back() != '/') dir += '/';
  return dir;
}

char Host::pathSeparator() { return '/'; }

bool Host::createDirectory(const std::string& path) {
  struct stat info {};
  return ::mkdir(path.c_str(), 0777) == 0 || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

std::vector<Host::FileInfo> Host::listFiles(const std::string& directory) {
  std::vector<FileInfo> files;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return files;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    const std::string path = directory + "/" + entry->d_name;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    files.push_back({entry->d_name, kUnixEpoch + std::int64_t(info.st_mtim.tv_sec) * kTicksPerSecond +
                                        info.st_mtim.tv_nsec / 100});
  }
  ::closedir(dir);
  return files;
}

bool Host::deleteFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return true;
  LastError::set(GeneralError, std::uint32_t(errno), "cannot delete file");
  return false;
}

std::FILE* Host::openForAppend(const std::string& path) { return std::fopen(path.c_str(), "a"); }

unsigned Host::processId() { return unsigned(::getpid()); }

unsigned Host::threadId() {
  thread_local const unsigned id = unsigned(::gettid());
  return id;
}

std::string Host::moduleName() {
  char path[4096];
  const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return moduleNameOf(size > 0 ? std::string(path, std::size_t(size)) : std::string(program_invocation_name));
}

std::int64_t Host::processCreationTime() {
  static const std::int64_t time = creationTime();
  return time;
}

std::tm Host::localTime(std::time_t time) {
  std::tm local{};
  ::localtime_r(&time, &local);
  return local;
}

void Host::lowerThreadPriority() { ::setpriority(PRIO_PROCESS, id_t(::gettid()), 19); }

}  // namespace devio
