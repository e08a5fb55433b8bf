#include "devio/runtime/LogSettings.h"

#include <cstdio>

#include "devio/protocol/LastError.h"
#include "devio/runtime/SettingsStore.h"

namespace devio {

namespace {

constexpr const char* kKey = "SOFTWARE\\Norvale\\devio";
constexpr std::size_t kMaxTags = 1023;  // the value's 1024 bytes hold a terminator

void report(const std::function<void(const char*)>& notice, const char* format) {
  char text[256];
  std::snprintf(text, sizeof text, format, int(LastError::get().detail));
  notice(text);
}

}  // namespace

LogSettings LogSettings::read(const SettingsStore& store, const std::function<void(const char*)>& notice) {
  LogSettings settings;
  if (!store.openKey(kKey)) {
    report(notice, "Couldn't read SOFTWARE\\Norvale\\devio registry key. Error code = %d\n");
    return settings;
  }
  if (const auto logging = store.readNumber(kKey, "logging")) {
    settings.logging = *logging != 0;
  } else {
    report(notice, "Couldn't read SOFTWARE\\Norvale\\devio\\logging registry value. Error code = %d\n");
  }
  if (const auto level = store.readNumber(kKey, "logginglevel")) {
    settings.level = int(*level);
  } else {
    report(notice,
           "Couldn't read SOFTWARE\\Norvale\\devio\\logginglevel registry value, using default level. "
           "Error code = %d\n");
  }
  if (const auto output = store.readNumber(kKey, "loggingoutput")) {
    settings.output = *output;
  } else {
    report(notice,
           "Couldn't read SOFTWARE\\Norvale\\devio\\loggingoutput registry value, using default level. "
           "Error code = %d\n");
  }
  if (auto tags = store.readString(kKey, "LogTags")) {
    if (tags->size() > kMaxTags) tags->resize(kMaxTags);
    settings.tags = std::move(tags);
  } else {
    report(notice, "Couldn't read SOFTWARE\\Norvale\\devio\\LogTags registry value. Error code = %d\n");
  }
  return settings;
}

}  // namespace devio
