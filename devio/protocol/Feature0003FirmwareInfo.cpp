#include "devio/protocol/Feature0003FirmwareInfo.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature0003FirmwareInfo>(Feature0003FirmwareInfo::Id);

constexpr const char* Tag = "Feature0003FirmwareInfo";
constexpr int GetEntityCountFunction = 0;
constexpr int GetFwInfoFunction = 1;
constexpr std::size_t EntityCountLength = 14;
constexpr std::size_t FwInfoLength = 16;
constexpr std::size_t PrefixLength = 3;
constexpr std::size_t ExtraOffset = 9;
constexpr std::size_t ExtraLength = 7;

// Four upper-case hexadecimal digits, highest nibble first.
std::string hexText(unsigned value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[i] = digits[value & 0x0F];
  return text;
}

// A value whose nibbles are not all decimal digits is rewritten as the BCD digits of its
// decimal value, capped at 9999.
unsigned bcdNormalise(unsigned value) {
  bool decimal = true;
  for (unsigned v = value, i = 0; i < 4; ++i, v >>= 4) decimal = decimal && (v & 0x0F) < 10;
  if (decimal) return value;
  unsigned m = std::min(value, 9999u);
  unsigned bcd = 0;
  for (int shift = 0; shift < 16; shift += 4, m /= 10) bcd |= (m % 10) << shift;
  return bcd;
}

char printable(Byte b) { return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : ' '; }

const char* text(const std::string* s) { return s ? s->c_str() : ""; }
int value(const int* v) { return v ? *v : 0; }
}  // namespace

IFeatureForceInclusion0003::IFeatureForceInclusion0003() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    xLog(Tag, LogDebug, "devio::IFeatureForceInclusion0003::IFeatureForceInclusion0003", "Devio: Feature0003 included");
}

Feature0003FirmwareInfo::Feature0003FirmwareInfo(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature0003FirmwareInfo::GetEntityCount(int* count, int* unitId, int* transport, int* pid1, int* pid2, int* pid3,
                                             int* extendedModelId, bool cacheable) {
  Bytes p;
  if (!sendFeatureCommand(GetEntityCountFunction, {}, p, cacheable)) return false;
  if (p.size() < EntityCountLength) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  const unsigned unit = bigEndian32(p, 1);
  store(count, p[0]);
  store(unitId, unit);
  store(transport, bigEndian16(p, 5));
  store(pid1, bigEndian16(p, 7));
  store(pid2, bigEndian16(p, 9));
  store(pid3, bigEndian16(p, 11));
  store(extendedModelId, p[13]);
  xLog(Tag, LogInfo, "devio::Feature0003FirmwareInfo::GetEntityCount",
       "Feature0003FirmwareInfo::GetEntityCount(*count = %d, *unitId = 0x%08x, *transport = 0x%04x, pid1 = 0x%04x, "
       "pid2 = 0x%04x, pid3 = 0x%04x, extendedModelId = %d)",
       p[0], unit, bigEndian16(p, 5), bigEndian16(p, 7), bigEndian16(p, 9), bigEndian16(p, 11), p[13]);
  return true;
}

bool Feature0003FirmwareInfo::GetFwInfo(int entity, int* fwType, std::string* prefix, unsigned short* bcdVersion,
                                        unsigned short* bcdBuild, int* rdnf, std::vector<Byte>* extra, bool cacheable) {
  Bytes p;
  if (!sendFeatureCommand(GetFwInfoFunction, {static_cast<Byte>(entity)}, p, cacheable)) return false;
  if (p.size() < FwInfoLength) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  store(fwType, p[0] & 0x0F);
  if (prefix) {
    prefix->clear();
    for (std::size_t i = 1; i <= PrefixLength; ++i) prefix->push_back(printable(p[i]));
  }
  store(bcdVersion, bigEndian16(p, 4));
  store(bcdBuild, bigEndian16(p, 6));
  store(rdnf, p[8]);
  if (extra) extra->assign(p.begin() + ExtraOffset, p.begin() + ExtraOffset + ExtraLength);
  xLog(Tag, LogInfo, "devio::Feature0003FirmwareInfo::GetFwInfo",
       "Feature0003FirmwareInfo::GetFwInfo(entity = %d, *fwType = %d, *prefix = %s, *bcdVersion = 0x%04x, "
       "*bcdBuild = 0x%04x, *rdnf = %d, *extra_data)",
       entity, p[0] & 0x0F, text(prefix), bigEndian16(p, 4), bigEndian16(p, 6), p[8]);
  return true;
}

bool Feature0003FirmwareInfo::GetFwInfo(int entity, int* fwType, std::string* prefix, std::string* version,
                                        std::string* build, int* rdnf, std::vector<Byte>* extra, bool cacheable) {
  unsigned short rawVersion = 0;
  unsigned short rawBuild = 0;
  const bool ok = GetFwInfo(entity, fwType, prefix, &rawVersion, &rawBuild, rdnf, extra, cacheable);
  if (ok) {
    store(version, hexText(rawVersion));
    store(build, hexText(rawBuild));
  }
  xLog(Tag, LogInfo, "devio::Feature0003FirmwareInfo::GetFwInfo",
       "Feature0003FirmwareInfo::GetFwInfo(entity = %d, *fwType = %d, *prefix = %s, *version = %s, *build = %s, "
       "*rdnf = %d, *extra_data)",
       entity, value(fwType), text(prefix), text(version), text(build), value(rdnf));
  return ok;
}

bool Feature0003FirmwareInfo::GetFirmwareVersion(std::string* version) {
  if (!version) return false;
  std::string prefix;
  unsigned short rawVersion = 0;
  unsigned short rawBuild = 0;
  if (!FindFwInfo(0, &prefix, &rawVersion, &rawBuild, nullptr, nullptr)) return false;
  const std::string v = hexText(bcdNormalise(rawVersion));
  const std::string b = hexText(bcdNormalise(rawBuild));
  std::string major = v.substr(0, 2);
  // Prefix "U<digit> ": the digit leads the major number.
  if (prefix[0] == 'U' && prefix[2] == ' ' && prefix[1] >= '0' && prefix[1] <= '9') major.insert(0, 1, prefix[1]);
  *version = std::to_string(std::stoi(major)) + "." + std::to_string(std::stoi(v.substr(2, 2))) + "." +
             std::to_string(std::stoi(b));
  return true;
}

bool Feature0003FirmwareInfo::FindFwInfo(int fwType, std::string* prefix, unsigned short* bcdVersion,
                                         unsigned short* bcdBuild, int* rdnf, std::vector<Byte>* extra) {
  int count = 0;
  if (!GetEntityCount(&count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true)) return false;
  for (int entity = 0; entity < count; ++entity) {
    int type = 0;
    if (!GetFwInfo(entity, &type, prefix, bcdVersion, bcdBuild, rdnf, extra, true)) return false;
    if (type == fwType) return true;
  }
  return false;
}

bool Feature0003FirmwareInfo::GetModelId(int* model) {
  int transport = 0;
  int pid1 = 0;
  if (!GetEntityCount(nullptr, nullptr, &transport, &pid1, nullptr, nullptr, nullptr, true)) return false;
  if (!model) return true;
  if (transport != 0) {
    // transport × 65536 + pid1, computed unsigned: a transport of 0x8000 or more exceeds int.
    *model = static_cast<int>((static_cast<unsigned>(transport) << 16) | static_cast<unsigned>(pid1));
  } else {
    auto owner = device();
    if (!owner) {
      LastError::set(DeviceRemoved);
      return false;
    }
    *model = owner->pid();
  }
  xLog(Tag, LogInfo, "devio::Feature0003FirmwareInfo::GetModelId", "Feature0003FirmwareInfo::GetModelId(*model = %x)",
       static_cast<unsigned>(*model));
  return true;
}

bool Feature0003FirmwareInfo::GetExtendedModelId(int* extendedModelId, bool cacheable) {
  int extended = 0;
  if (!GetEntityCount(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &extended, cacheable)) return false;
  store(extendedModelId, extended);
  xLog(Tag, LogInfo, "devio::Feature0003FirmwareInfo::GetExtendedModelId",
       "Feature0003FirmwareInfo::GetExtendedModelId(*extendedModelId = %x)", static_cast<unsigned>(extended));
  return true;
}

}  // namespace devio
