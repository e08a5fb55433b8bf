#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

#include "devio/protocol/LastError.h"
#include "devio/runtime/NamedMutex.h"

namespace devio {
namespace {

// The shared memory object. magic is set once the mutex is initialised.
struct SharedMutex {
  std::uint64_t magic;
  pthread_mutex_t mutex;
};
constexpr std::uint64_t kMagic = 0x64657669'6f6d7478;

// Mappings of this process by object name. Never destroyed or unmapped: glibc links the robust
// mutexes a thread holds into a list through their own memory, which must stay addressable
// until the thread ends, and objects with static lifetime may still use them at exit.
struct Mappings {
  std::mutex lock;
  std::map<std::string, SharedMutex*> byName;
};

Mappings& mappings() {
  static auto* instance = new Mappings;
  return *instance;
}

bool fail(int error) {
  LastError::set(GeneralError, static_cast<std::uint32_t>(error), "named mutex host call failed");
  return false;
}

// "/" + name; bytes other than letters, digits, '-' and '_' become %XX, so distinct names stay
// distinct and never contain another '/'.
std::string objectName(const std::string& name) {
  std::string out = "/";
  for (const unsigned char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

int initMutex(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attr;
  int rc = pthread_mutexattr_init(&attr);
  if (rc != 0) return rc;
  rc = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
  if (rc == 0) rc = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  if (rc == 0) rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  if (rc == 0) rc = pthread_mutex_init(mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  return rc;
}

// Sizes, maps and (unless done before) initialises the object; the caller holds its flock.
// 0 or the error number.
int mapInitialised(int fd, SharedMutex** out) {
  struct stat st;
  if (fstat(fd, &st) != 0) return errno;
  if (st.st_size < static_cast<off_t>(sizeof(SharedMutex)) && ftruncate(fd, sizeof(SharedMutex)) != 0) return errno;
  void* memory = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) return errno;
  auto* shared = static_cast<SharedMutex*>(memory);
  if (shared->magic != kMagic) {
    if (const int rc = initMutex(&shared->mutex); rc != 0) {
      munmap(memory, sizeof(SharedMutex));
      return rc;
    }
    shared->magic = kMagic;
  }
  *out = shared;
  return 0;
}

// Opens or creates the object. Openers take turns through an exclusive flock, so the mutex is
// initialised exactly once; the kernel drops the flock of an opener that dies half-way, and
// the next one finds no magic and initialises again. 0 or the error number.
int mapShared(const std::string& path, SharedMutex** out) {
  const int fd = shm_open(path.c_str(), O_RDWR | O_CREAT, 0600);
  if (fd < 0) return errno;
  int rc;
  while ((rc = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    rc = errno;
  } else {
    rc = mapInitialised(fd, out);
    flock(fd, LOCK_UN);  // explicitly: the mapping keeps the open file, and so its flock, alive
  }
  close(fd);
  return rc;
}

}  // namespace

void* NamedMutex::openHost(const std::string& name) {
  const std::string path = objectName(name);
  Mappings& maps = mappings();
  std::lock_guard guard(maps.lock);
  if (const auto found = maps.byName.find(path); found != maps.byName.end()) return &found->second->mutex;
  SharedMutex* shared = nullptr;
  if (const int rc = mapShared(path, &shared); rc != 0) {
    fail(rc);
    return nullptr;
  }
  maps.byName.emplace(path, shared);
  return &shared->mutex;
}

bool NamedMutex::lockHost(void* handle) {
  auto* mutex = static_cast<pthread_mutex_t*>(handle);
  int rc = pthread_mutex_lock(mutex);
  // The previous owner died holding it: its exchange is over, so the mutex is ours.
  if (rc == EOWNERDEAD && (rc = pthread_mutex_consistent(mutex)) != 0) pthread_mutex_unlock(mutex);
  return rc == 0 || fail(rc);
}

bool NamedMutex::unlockHost(void* handle) {
  const int rc = pthread_mutex_unlock(static_cast<pthread_mutex_t*>(handle));
  return rc == 0 || fail(rc);
}

// Nothing to close: the mapping stays for the life of the process (see Mappings).
void NamedMutex::closeHost(void*) {}

bool NamedMutex::remove(const std::string& name) {
  const std::string path = objectName(name);
  Mappings& maps = mappings();
  std::lock_guard guard(maps.lock);
  maps.byName.erase(path);  // stays mapped (see Mappings); the next init maps a fresh object
  return shm_unlink(path.c_str()) == 0 || errno == ENOENT || fail(errno);
}

}  // namespace devio
