#include "devio/runtime/SettingsStore.h"

#include <windows.h>

#include "devio/runtime/WideText.h"

namespace devio {

namespace {

// The key's path under HKEY_CURRENT_USER.
std::wstring fullPath(const std::string& root, const std::string& key) {
  if (root.empty()) return WideText::fromUtf8(key);
  if (key.empty()) return WideText::fromUtf8(root);
  return WideText::fromUtf8(root + "\\" + key);
}

// An open registry key, closed on scope exit.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (handle_) RegCloseKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKEY* out() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

}  // namespace

const std::uint32_t SettingsStore::wrongTypeError = ERROR_UNSUPPORTED_TYPE;

std::string SettingsStore::defaultRoot() { return {}; }

bool SettingsStore::openKey(const std::string& key) const {
  Key handle;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, fullPath(root_, key).c_str(), 0, KEY_READ, handle.out());
  return status == ERROR_SUCCESS || fail(DWORD(status));
}

bool SettingsStore::createKey(const std::string& key) const {
  Key handle;
  const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, fullPath(root_, key).c_str(), 0, nullptr, 0,
                                         KEY_READ | KEY_WRITE, nullptr, handle.out(), nullptr);
  return status == ERROR_SUCCESS || fail(DWORD(status));
}

bool SettingsStore::deleteTree(const std::string& key) const {
  const std::wstring path = fullPath(root_, key);
  if (path.empty() || key.empty()) return fail(ERROR_INVALID_PARAMETER);  // never the whole store
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  return status == ERROR_SUCCESS || fail(DWORD(status));
}

std::optional<SettingsStore::Value> SettingsStore::readValue(const std::string& key, const std::string& name) const {
  const std::wstring path = fullPath(root_, key);
  const std::wstring valueName = WideText::fromUtf8(name);
  DWORD type = 0;
  DWORD size = 0;
  Bytes data;
  LSTATUS status;
  do {  // the value may grow between the size query and the read
    status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), valueName.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                          nullptr, &size);
    if (status != ERROR_SUCCESS) break;
    data.resize(size);
    status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), valueName.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                          data.data(), &size);
  } while (status == ERROR_MORE_DATA);
  if (status != ERROR_SUCCESS) {
    fail(DWORD(status));
    return std::nullopt;
  }
  data.resize(size);
  switch (type) {
    case REG_DWORD:
      return Value{Type::Number, std::move(data)};
    case REG_BINARY:
      return Value{Type::Binary, std::move(data)};
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::wstring_view wide(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
      while (!wide.empty() && wide.back() == L'\0') wide.remove_suffix(1);
      const std::string text = WideText::toUtf8(wide);
      return Value{Type::String, Bytes(text.begin(), text.end())};
    }
    default:
      fail(wrongTypeError);
      return std::nullopt;
  }
}

bool SettingsStore::writeValue(const std::string& key, const std::string& name, const Value& value) const {
  Key handle;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, fullPath(root_, key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, handle.out(), nullptr);
  if (status != ERROR_SUCCESS) return fail(DWORD(status));
  const std::wstring valueName = WideText::fromUtf8(name);
  if (value.type == Type::String) {
    const std::wstring text = WideText::fromUtf8(
        std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    status = RegSetValueExW(handle.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            DWORD((text.size() + 1) * sizeof(wchar_t)));
  } else {
    status = RegSetValueExW(handle.get(), valueName.c_str(), 0, value.type == Type::Number ? REG_DWORD : REG_BINARY,
                            value.data.data(), DWORD(value.data.size()));
  }
  return status == ERROR_SUCCESS || fail(DWORD(status));
}

bool SettingsStore::deleteValue(const std::string& key, const std::string& name) const {
  Key handle;
  LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, fullPath(root_, key).c_str(), 0, KEY_SET_VALUE, handle.out());
  if (status == ERROR_SUCCESS) status = RegDeleteValueW(handle.get(), WideText::fromUtf8(name).c_str());
  return status == ERROR_SUCCESS || fail(DWORD(status));
}

}  // namespace devio
