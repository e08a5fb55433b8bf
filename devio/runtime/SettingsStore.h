#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "devio/protocol/Byte.h"

namespace devio {

// The current user's settings: keys named by backslash-separated paths ("SOFTWARE\Norvale\devio")
// holding named values of three types: 32-bit number, string (UTF-8), binary. Key and value
// names compare without regard to ASCII case.
//
// Windows: the registry under HKEY_CURRENT_USER. POSIX: a file-backed store under the user's
// configuration directory ($XDG_CONFIG_HOME or ~/.config, then "norvale/registry"): one
// directory per key, its values in one file replaced atomically (written aside, then renamed),
// writers serialised across processes by a lock file.
//
// Every object reads the store afresh, so two objects (or two processes) see each other's
// writes. A failing operation answers false or empty and leaves LastError GeneralError with the
// host's error number as detail (2: key or value not found, on both hosts).
class SettingsStore {
 public:
  // The current user's store.
  SettingsStore();
  // A private store, for tests: a directory on POSIX, a key path under HKEY_CURRENT_USER on
  // Windows ("Software\Norvale\devio-test-1234"); every key path is taken relative to it.
  explicit SettingsStore(std::string root);

  // Does the key exist?
  bool openKey(const std::string& key) const;
  // Creates the key and every missing parent; true if it exists afterwards.
  bool createKey(const std::string& key) const;
  // Removes the key with all its subkeys and values.
  bool deleteTree(const std::string& key) const;

  // Reads fail when the key or value is missing or the value has another type.
  std::optional<std::uint32_t> readNumber(const std::string& key, const std::string& name) const;
  std::optional<std::string> readString(const std::string& key, const std::string& name) const;
  std::optional<Bytes> readBinary(const std::string& key, const std::string& name) const;

  // Writes create the key when it is missing and replace a value of any type.
  bool writeNumber(const std::string& key, const std::string& name, std::uint32_t value) const;
  bool writeString(const std::string& key, const std::string& name, const std::string& value) const;
  bool writeBinary(const std::string& key, const std::string& name, const Bytes& value) const;
  bool deleteValue(const std::string& key, const std::string& name) const;

 private:
  enum class Type { Number, String, Binary };
  // A value as stored: a number as 4 little-endian bytes, a string as UTF-8 without terminator.
  struct Value {
    Type type;
    Bytes data;
  };

  // Per host.
  std::optional<Value> readValue(const std::string& key, const std::string& name) const;
  bool writeValue(const std::string& key, const std::string& name, const Value& value) const;
  static std::string defaultRoot();
  static const std::uint32_t wrongTypeError;

  // The value's data when it exists with this type.
  std::optional<Bytes> readData(const std::string& key, const std::string& name, Type type) const;
  // Leaves LastError GeneralError with the host error as detail; answers false.
  static bool fail(std::uint32_t hostError);

  std::string root_;
};

}  // namespace devio
