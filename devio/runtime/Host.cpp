#include "devio/runtime/Host.h"

#include <algorithm>
#include <chrono>

namespace devio {

std::string Host::moduleNameOf(const std::string& executablePath) {
  const auto slash = executablePath.find_last_of("/\\");
  std::string name = executablePath.substr(slash == std::string::npos ? 0 : slash + 1);
  return name.substr(0, std::min(name.find('.'), std::size_t(19)));
}

std::int64_t Host::systemTime() {
  // 1601-01-01 to 1970-01-01 in 100-ns units.
  constexpr std::int64_t unixEpoch = 116444736000000000LL;
  const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
  return unixEpoch + std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(
                         sinceUnixEpoch)
                         .count();
}

}  // namespace devio
