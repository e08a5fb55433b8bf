#include "info/InfoOutput.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
  return text;
}

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

void InfoOutput::printText(std::ostream& out, const std::vector<InspectedDevice>& devices) {
  for (const InspectedDevice& device : devices) {
    out << device.name << "\n"
        << "  product id  " << hex4(device.pid) << "\n"
        << "  bus type    " << device.busType << "\n"
        << "  path        " << device.path << "\n";
    if (device.slot >= 0) {
      out << "  slot        " << device.slot << "\n"
          << "  link        " << (device.connected ? "connected" : "not connected") << "\n";
    }
    const char* label = "  firmware    ";
    for (const InspectedFirmware& entity : device.firmware) {
      out << label << "type " << entity.type << "  " << entity.prefix << " " << entity.version << " build "
          << entity.build << "\n";
      label = "              ";
    }
    out << "  features    " << device.features.size() << "\n";
    for (const InspectedFeature& feature : device.features) {
      char line[96];
      std::snprintf(line, sizeof line, "    %s  index %3d  %-40s", hex4(feature.id).c_str(), feature.index,
                    feature.className.c_str());
      std::string text = line;
      for (const auto& [name, value] : feature.state) text += " " + name + "=" + std::to_string(value);
      out << text.substr(0, text.find_last_not_of(' ') + 1) << "\n";
    }
    out << "\n";
  }
}

void InfoOutput::printJson(std::ostream& out, const std::vector<InspectedDevice>& devices) {
  out << "{\"devices\": [";
  for (std::size_t d = 0; d < devices.size(); ++d) {
    const InspectedDevice& device = devices[d];
    out << (d ? ",\n" : "\n") << "  {\"product_id\": " << device.pid << ", \"name\": " << quoted(device.name)
        << ", \"bus_type\": " << device.busType << ", \"path\": " << quoted(device.path);
    if (device.slot >= 0) {
      out << ", \"slot\": " << device.slot << ", \"connected\": " << (device.connected ? "true" : "false");
    }
    out << ",\n   \"firmware\": [";
    for (std::size_t e = 0; e < device.firmware.size(); ++e) {
      const InspectedFirmware& entity = device.firmware[e];
      out << (e ? ", " : "") << "{\"type\": " << entity.type << ", \"prefix\": " << quoted(entity.prefix)
          << ", \"version\": " << quoted(entity.version) << ", \"build\": " << quoted(entity.build) << "}";
    }
    out << "],\n   \"features\": [";
    for (std::size_t f = 0; f < device.features.size(); ++f) {
      const InspectedFeature& feature = device.features[f];
      out << (f ? ",\n    " : "\n    ") << "{\"id\": " << feature.id << ", \"index\": " << feature.index
          << ", \"class\": " << quoted(feature.className);
      if (!feature.state.empty()) {
        out << ", \"state\": {";
        for (std::size_t s = 0; s < feature.state.size(); ++s)
          out << (s ? ", " : "") << quoted(feature.state[s].first) << ": " << feature.state[s].second;
        out << "}";
      }
      out << "}";
    }
    out << "]}";
  }
  out << "\n]}\n";
}
