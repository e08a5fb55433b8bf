#include "devio/protocol/CommandCacheFile.h"

#include <cstdio>

#include "devio/runtime/TextFile.h"
#include "devio/runtime/XmlDocument.h"

namespace devio {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::uint32_t CommandCacheFile::hashPath(const std::string& path) {
  std::uint32_t hash = 0x811C9DC5u;
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

std::string CommandCacheFile::fileName(unsigned pid, const std::string& path) {
  char name[32];
  std::snprintf(name, sizeof name, "%X_%X.xml", pid, static_cast<unsigned>(hashPath(path)));
  return name;
}

std::string CommandCacheFile::toHex(const Bytes& bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (Byte b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0x0F];
  }
  return text;
}

Bytes CommandCacheFile::fromHex(std::string_view text) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = hexValue(text[i]);
    const int low = hexValue(text[i + 1]);
    if (high >= 0 && low >= 0) bytes.push_back(static_cast<Byte>(high << 4 | low));
  }
  return bytes;
}

std::string CommandCacheFile::render(const std::string& fw, const std::string& path,
                                     const std::map<Bytes, Bytes>& entries) {
  XmlDocument doc;
  auto* cache = doc.start("cache");
  doc.set(cache, "fw", fw);
  doc.set(cache, "path", path);
  for (const auto& [cmd, rsp] : entries) {
    auto* command = doc.add(cache, "command");
    doc.set(command, "cmd", toHex(cmd));
    doc.set(command, "rsp", toHex(rsp));
  }
  return doc.print();
}

CommandCacheFile::Contents CommandCacheFile::parse(std::string text) {
  Contents contents;
  XmlDocument doc;
  const auto* cache = doc.parse(std::move(text), "cache");
  if (!cache) return contents;
  contents.hasCache = true;
  contents.fw = XmlDocument::attribute(cache, "fw");
  for (auto* command = cache->first_node("command"); command; command = command->next_sibling("command")) {
    contents.entries.emplace_back(fromHex(XmlDocument::attribute(command, "cmd")), fromHex(XmlDocument::attribute(command, "rsp")));
  }
  return contents;
}

std::optional<CommandCacheFile::Contents> CommandCacheFile::read(const std::string& file) {
  auto text = TextFile::read(file);
  if (!text) return std::nullopt;
  return parse(std::move(*text));
}

bool CommandCacheFile::write(const std::string& file, const std::string& fw, const std::string& path,
                             const std::map<Bytes, Bytes>& entries) {
  return TextFile::replace(file, render(fw, path, entries));
}

}  // namespace devio
