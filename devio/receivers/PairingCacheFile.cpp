#include "devio/receivers/PairingCacheFile.h"

#include <rapidxml.hpp>
#include <rapidxml_print.hpp>

#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "devio/runtime/TextFile.h"

namespace devio {

namespace {

std::string attribute(rapidxml::xml_node<>* node, const char* name) {
  rapidxml::xml_attribute<>* a = node->first_attribute(name);
  return a ? std::string(a->value(), a->value_size()) : std::string();
}

std::uint16_t parsePid(const std::string& text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::string PairingCacheFile::render(const std::vector<Entry>& entries) {
  rapidxml::xml_document<> doc;
  auto* declaration = doc.allocate_node(rapidxml::node_declaration);
  declaration->append_attribute(doc.allocate_attribute("version", "1.0"));
  declaration->append_attribute(doc.allocate_attribute("encoding", "utf-8"));
  doc.append_node(declaration);
  auto* devices = doc.allocate_node(rapidxml::node_element, "devices");
  doc.append_node(devices);
  const auto add = [&doc](rapidxml::xml_node<>* node, const char* name, const std::string& value) {
    node->append_attribute(doc.allocate_attribute(name, doc.allocate_string(value.c_str(), value.size() + 1)));
  };
  for (const Entry& entry : entries) {
    char pid[8];
    std::snprintf(pid, sizeof pid, "0x%04X", static_cast<unsigned>(entry.pid));
    auto* device = doc.allocate_node(rapidxml::node_element, "device");
    add(device, "path", entry.path);
    add(device, "pid", pid);
    add(device, "name", entry.name);
    add(device, "radio", entry.radio);
    add(device, "interface", entry.interface);
    devices->append_node(device);
  }
  std::string text;
  rapidxml::print(std::back_inserter(text), doc);
  return text;
}

std::vector<PairingCacheFile::Entry> PairingCacheFile::parse(std::string text) {
  std::vector<Entry> entries;
  rapidxml::xml_document<> doc;
  try {
    doc.parse<0>(text.data());  // std::string keeps a terminator
  } catch (const rapidxml::parse_error&) {
    return entries;
  }
  rapidxml::xml_node<>* devices = doc.first_node("devices");
  if (!devices) return entries;
  for (auto* device = devices->first_node("device"); device; device = device->next_sibling("device")) {
    Entry entry{attribute(device, "path"), parsePid(attribute(device, "pid")), attribute(device, "name"),
                attribute(device, "radio"), attribute(device, "interface")};
    if (!entry.path.empty()) entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<PairingCacheFile::Entry> PairingCacheFile::read(const std::string& file) {
  auto text = TextFile::read(file);
  return text ? parse(std::move(*text)) : std::vector<Entry>{};
}

bool PairingCacheFile::write(const std::string& file, const std::vector<Entry>& entries) {
  return TextFile::replace(file, render(entries));
}

}  // namespace devio
