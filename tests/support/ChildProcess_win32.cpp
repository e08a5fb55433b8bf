#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "tests/support/ChildProcess.h"

namespace testsupport {

struct ChildProcess::Host {
  HANDLE process;
  std::optional<int> exitCode;  // once seen ending
};

namespace {

std::wstring widen(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(size, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Quotes one argument so that the child's runtime splits the command line back into it:
// backslashes are literal except before a quote, where they and the quote are escaped.
std::wstring quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    out += c;
    backslashes = 0;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::wstring modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD size;
  while ((size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size()) {
    path.resize(path.size() * 2);
  }
  path.resize(size);
  return path;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& name, const std::vector<std::string>& args) {
  const std::wstring program = modulePath();
  std::wstring commandLine = quoted(program) + L" --child " + quoted(widen(name));
  for (const auto& arg : args) commandLine += L" " + quoted(widen(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    std::fprintf(stderr, "CreateProcessW failed: %lu\n", GetLastError());
    return nullptr;
  }
  CloseHandle(info.hThread);
  return std::unique_ptr<ChildProcess>(new ChildProcess(std::make_unique<Host>(Host{info.hProcess, std::nullopt})));
}

ChildProcess::ChildProcess(std::unique_ptr<Host> host) : host_(std::move(host)) {}

ChildProcess::~ChildProcess() {
  if (!host_->exitCode) {
    TerminateProcess(host_->process, kKilledExitCode);
    WaitForSingleObject(host_->process, INFINITE);
  }
  CloseHandle(host_->process);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds bound) {
  if (!host_->exitCode) {
    const auto ms = static_cast<DWORD>(std::clamp<long long>(bound.count(), 0, INFINITE - 1));
    DWORD code;
    if (WaitForSingleObject(host_->process, ms) != WAIT_OBJECT_0 || !GetExitCodeProcess(host_->process, &code)) {
      return std::nullopt;
    }
    host_->exitCode = static_cast<int>(code);
  }
  return host_->exitCode;
}

bool ChildProcess::kill() { return !host_->exitCode && TerminateProcess(host_->process, kKilledExitCode); }

}  // namespace testsupport
