#include "devio/runtime/SettingsStore.h"

#include <utility>

#include "devio/protocol/LastError.h"

namespace devio {

SettingsStore::SettingsStore() : root_(defaultRoot()) {}

SettingsStore::SettingsStore(std::string root) : root_(std::move(root)) {}

bool SettingsStore::fail(std::uint32_t hostError) {
  LastError::set(GeneralError, hostError, "settings store operation failed");
  return false;
}

std::optional<Bytes> SettingsStore::readData(const std::string& key, const std::string& name, Type type) const {
  auto value = readValue(key, name);
  if (!value) return std::nullopt;
  if (value->type != type || (type == Type::Number && value->data.size() != 4)) {
    fail(wrongTypeError);
    return std::nullopt;
  }
  return std::move(value->data);
}

std::optional<std::uint32_t> SettingsStore::readNumber(const std::string& key, const std::string& name) const {
  const auto data = readData(key, name, Type::Number);
  if (!data) return std::nullopt;
  return std::uint32_t((*data)[0]) | std::uint32_t((*data)[1]) << 8 | std::uint32_t((*data)[2]) << 16 |
         std::uint32_t((*data)[3]) << 24;
}

std::optional<std::string> SettingsStore::readString(const std::string& key, const std::string& name) const {
  const auto data = readData(key, name, Type::String);
  if (!data) return std::nullopt;
  return std::string(data->begin(), data->end());
}

std::optional<Bytes> SettingsStore::readBinary(const std::string& key, const std::string& name) const {
  return readData(key, name, Type::Binary);
}

bool SettingsStore::writeNumber(const std::string& key, const std::string& name, std::uint32_t value) const {
  return writeValue(key, name,
                    {Type::Number, {Byte(value), Byte(value >> 8), Byte(value >> 16), Byte(value >> 24)}});
}

bool SettingsStore::writeString(const std::string& key, const std::string& name, const std::string& value) const {
  return writeValue(key, name, {Type::String, Bytes(value.begin(), value.end())});
}

bool SettingsStore::writeBinary(const std::string& key, const std::string& name, const Bytes& value) const {
  return writeValue(key, name, {Type::Binary, value});
}

}  // namespace devio
