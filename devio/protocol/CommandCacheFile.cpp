#include "devio/protocol/CommandCacheFile.h"

#include <rapidxml.hpp>
#include <rapidxml_print.hpp>

#include <cstdio>
#include <iterator>

#include "devio/runtime/TextFile.h"

namespace devio {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string attribute(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? std::string(a->value(), a->value_size()) : std::string();
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
  rapidxml::xml_document<> doc;
  auto* declaration = doc.allocate_node(rapidxml::node_declaration);
  declaration->append_attribute(doc.allocate_attribute("version", "1.0"));
  declaration->append_attribute(doc.allocate_attribute("encoding", "utf-8"));
  doc.append_node(declaration);

  auto* cache = doc.allocate_node(rapidxml::node_element, "cache");
  cache->append_attribute(doc.allocate_attribute("fw", doc.allocate_string(fw.c_str(), fw.size() + 1)));
  cache->append_attribute(doc.allocate_attribute("path", doc.allocate_string(path.c_str(), path.size() + 1)));
  doc.append_node(cache);
  for (const auto& [cmd, rsp] : entries) {
    const std::string cmdHex = toHex(cmd);
    const std::string rspHex = toHex(rsp);
    auto* command = doc.allocate_node(rapidxml::node_element, "command");
    command->append_attribute(doc.allocate_attribute("cmd", doc.allocate_string(cmdHex.c_str(), cmdHex.size() + 1)));
    command->append_attribute(doc.allocate_attribute("rsp", doc.allocate_string(rspHex.c_str(), rspHex.size() + 1)));
    cache->append_node(command);
  }
  std::string text;
  rapidxml::print(std::back_inserter(text), doc);
  return text;
}

CommandCacheFile::Contents CommandCacheFile::parse(std::string text) {
  Contents contents;
  rapidxml::xml_document<> doc;
  try {
    doc.parse<0>(text.data());  // text is null-terminated: std::string keeps a terminator
  } catch (const rapidxml::parse_error&) {
    return contents;
  }
  rapidxml::xml_node<>* cache = doc.first_node("cache");
  if (!cache) return contents;
  contents.hasCache = true;
  contents.fw = attribute(cache, "fw");
  for (auto* command = cache->first_node("command"); command; command = command->next_sibling("command")) {
    contents.entries.emplace_back(fromHex(attribute(command, "cmd")), fromHex(attribute(command, "rsp")));
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
