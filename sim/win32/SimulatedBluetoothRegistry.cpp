#include "sim/win32/SimulatedBluetoothRegistry.h"

namespace sim {

namespace {

std::wstring modelPath(const SimulatedBluetoothRegistry::Entry& entry) { return entry.enumKey + L"\\" + entry.model; }

bool setValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

}  // namespace

SimulatedBluetoothRegistry::~SimulatedBluetoothRegistry() {
  std::vector<Entry> written;
  {
    std::lock_guard lock(mutex_);
    written.swap(written_);
  }
  for (const auto& entry : written) remove(entry);
}

bool SimulatedBluetoothRegistry::write(const Entry& entry) {
  HKEY instance = nullptr;
  const std::wstring path = modelPath(entry) + L"\\" + entry.instance;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &instance, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  bool ok = setValue(instance, L"ParentIDPrefix", REG_SZ, entry.parentIdPrefix.c_str(),
                     static_cast<DWORD>((entry.parentIdPrefix.size() + 1) * sizeof(wchar_t)));
  if (entry.address) {
    HKEY parameters = nullptr;
    ok = ok && RegCreateKeyExW(instance, L"Device Parameters", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parameters, nullptr) ==
                   ERROR_SUCCESS;
    if (parameters) {
      const std::uint64_t address = *entry.address;
      ok = setValue(parameters, L"BluetoothAddress", REG_QWORD, &address, sizeof address) && ok;
      RegCloseKey(parameters);
    }
  }
  RegCloseKey(instance);
  std::lock_guard lock(mutex_);
  written_.push_back(entry);
  return ok;
}

void SimulatedBluetoothRegistry::remove(const Entry& entry) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(written_, [&entry](const Entry& e) {
      return e.enumKey == entry.enumKey && e.model == entry.model && e.instance == entry.instance;
    });
  }
  const std::wstring instance = modelPath(entry) + L"\\" + entry.instance;
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, instance.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, modelPath(entry).c_str());  // fails while other instances remain
}

}  // namespace sim
