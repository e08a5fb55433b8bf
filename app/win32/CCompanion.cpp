#include "app/win32/CCompanion.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <functional>
#include <utility>

#include "app/CKavrinDFUDlg.h"
#include "devio/runtime/WideText.h"

namespace {

constexpr DWORD kMaxPath = 260;

// Calls visit for every running process whose image name is the companion's, ignoring case,
// until it answers false. False when the process list cannot be read.
bool forEachCompanion(const std::function<bool(DWORD)>& visit) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, CCompanion::ImageName) == 0 && !visit(entry.th32ProcessID)) break;
  }
  CloseHandle(snapshot);
  return true;
}

// "\Device\HarddiskVolume3\Apps\Vantrel.exe" becomes "C:\Apps\Vantrel.exe" when C: maps to
// that device. The device name must end where the path has a separator, or HarddiskVolume1
// would also claim HarddiskVolume10's paths.
std::wstring toDriveLetterForm(std::wstring path) {
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    const wchar_t drive[] = {letter, L':', 0};
    wchar_t device[kMaxPath] = {};
    if (!QueryDosDeviceW(drive, device, kMaxPath)) continue;
    const std::wstring_view name(device);
    if (!name.empty() && path.starts_with(name) && (path.size() == name.size() || path[name.size()] == L'\\'))
      return path.replace(0, name.size(), drive);
  }
  return path;
}

}  // namespace

CCompanion::CCompanion(devio::SettingsStore settings) : settings_(std::move(settings)) {}

std::wstring CCompanion::FindCompanionPath() {
  std::wstring found;
  forEachCompanion([&](DWORD id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return true;
    wchar_t path[kMaxPath] = {};
    DWORD size = kMaxPath;
    const bool ok = QueryFullProcessImageNameW(process, PROCESS_NAME_NATIVE, path, &size) != 0;
    CloseHandle(process);
    if (ok) found = toDriveLetterForm(std::wstring(path, size));
    return !ok;
  });
  return found;
}

void CCompanion::StopCompanion() {
  path_ = FindCompanionPath();
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, ShutdownEvent);
  stopped_ = event != nullptr;
  if (event) {
    SetEvent(event);
    CloseHandle(event);
    Sleep(1000);  // the companion's own shutdown
    forEachCompanion([](DWORD id) {
      if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
        if (TerminateProcess(process, 0)) WaitForSingleObject(process, 1000);
        CloseHandle(process);
      }
      return true;
    });
  }
  SaveCompanionPath();
}

bool CCompanion::SaveCompanionPath() {
  if (!settings_.createKey(CKavrinDFUDlg::SettingsKey)) return false;
  if (!path_.empty()) settings_.writeString(CKavrinDFUDlg::SettingsKey, PathValue, devio::WideText::toUtf8(path_));
  return true;
}

void CCompanion::RestartCompanion() {
  const auto path = settings_.readString(CKavrinDFUDlg::SettingsKey, PathValue);
  if (!path || path->empty()) return;
  ShellExecuteW(nullptr, nullptr, devio::WideText::fromUtf8(*path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CCompanion::RestartIfStopped() {
  if (stopped_) RestartCompanion();
}
