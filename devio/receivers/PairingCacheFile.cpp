#include "devio/receivers/PairingCacheFile.h"

#include <cstdio>
#include <cstdlib>

#include "devio/runtime/TextFile.h"
#include "devio/runtime/XmlDocument.h"

namespace devio {

namespace {

std::uint16_t parsePid(const std::string& text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::string PairingCacheFile::render(const std::vector<Entry>& entries) {
  XmlDocument doc;
  auto* devices = doc.start("devices");
  for (const Entry& entry : entries) {
    char pid[8];
    std::snprintf(pid, sizeof pid, "0x%04X", static_cast<unsigned>(entry.pid));
    auto* device = doc.add(devices, "device");
    doc.set(device, "path", entry.path);
    doc.set(device, "pid", pid);
    doc.set(device, "name", entry.name);
    doc.set(device, "radio", entry.radio);
    doc.set(device, "interface", entry.interface);
  }
  return doc.print();
}

std::vector<PairingCacheFile::Entry> PairingCacheFile::parse(std::string text) {
  std::vector<Entry> entries;
  XmlDocument doc;
  const auto* devices = doc.parse(std::move(text), "devices");
  if (!devices) return entries;
  for (auto* device = devices->first_node("device"); device; device = device->next_sibling("device")) {
    Entry entry{XmlDocument::attribute(device, "path"), parsePid(XmlDocument::attribute(device, "pid")),
                XmlDocument::attribute(device, "name"), XmlDocument::attribute(device, "radio"),
                XmlDocument::attribute(device, "interface")};
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
