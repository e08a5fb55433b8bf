#include "devio/protocol/FeatureLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "devio/runtime/XLog.h"

namespace devio {

namespace {
constexpr std::string_view Namespace = "devio::";
}

const char* featureLogName(const char* operation) {
  return std::string_view(operation).starts_with(Namespace) ? operation + Namespace.size() : operation;
}

void featureLog(const char* operation, int level, const char* format, ...) {
  const std::string_view name = featureLogName(operation);
  const std::string tag(name.substr(0, name.rfind("::")));
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  xLog(tag.c_str(), level, operation, "%s", text);
}

void logFeatureIncluded(std::atomic<bool>& logged, const char* tag, const char* operation, const char* text) {
  if (!logged.exchange(true)) xLog(tag, LogDebug, operation, "%s", text);
}

}  // namespace devio
