#include "devio/runtime/Host.h"

#include <windows.h>

#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"

namespace devio {

namespace {

std::int64_t fileTime(const FILETIME& time) {
  return std::int64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

void Host::debuggerOutput(const char* text) { OutputDebugStringA(text); }

std::string Host::temporaryDirectory() {
  wchar_t path[MAX_PATH + 1];
  const DWORD size = GetTempPathW(MAX_PATH + 1, path);
  return size > 0 && size <= MAX_PATH ? WideText::toUtf8(std::wstring_view(path, size)) : std::string();
}

char Host::pathSeparator() { return '\\'; }

bool Host::createDirectory(const std::string& path) {
  const std::wstring wide = WideText::fromUtf8(path);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<Host::FileInfo> Host::listFiles(const std::string& directory) {
  std::vector<FileInfo> files;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(WideText::fromUtf8(directory + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files.push_back({WideText::toUtf8(data.cFileName), fileTime(data.ftLastWriteTime)});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return files;
}

bool Host::deleteFile(const std::string& path) {
  if (DeleteFileW(WideText::fromUtf8(path).c_str())) return true;
  LastError::set(GeneralError, GetLastError(), "cannot delete file");
  return false;
}

std::FILE* Host::openForAppend(const std::string& path) { return _wfopen(WideText::fromUtf8(path).c_str(), L"at"); }

unsigned Host::processId() { return GetCurrentProcessId(); }

unsigned Host::threadId() { return GetCurrentThreadId(); }

std::string Host::moduleName() {
  wchar_t path[MAX_PATH];
  const DWORD size = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return moduleNameOf(WideText::toUtf8(std::wstring_view(path, size)));
}

std::int64_t Host::processCreationTime() {
  FILETIME creation, exit, kernel, user;
  return GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user) ? fileTime(creation) : systemTime();
}

std::tm Host::localTime(std::time_t time) {
  std::tm local{};
  localtime_s(&local, &time);
  return local;
}

void Host::lowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

}  // namespace devio
