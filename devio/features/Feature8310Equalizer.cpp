#include "devio/features/Feature8310Equalizer.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "devio/protocol/FeatureLog.h"
#include "devio/protocol/FeatureRegistry.h"

#define FN(name) "devio::Feature8310Equalizer::" #name

namespace devio {

namespace {
[[maybe_unused]] const bool registered = registerFeatureClass<Feature8310Equalizer>(Feature8310Equalizer::Id);

enum Function : int {
  GetEQInfoFunction = 0,
  GetFrequenciesFunction = 1,
  GetEQSettingsFunction = 2,
  SetEQSettingsFunction = 3,
};

std::vector<int> gainsOf(const Bytes& payload) {
  std::vector<int> gains(payload.size());
  std::transform(payload.begin(), payload.end(), gains.begin(),
                 [](Byte gain) { return static_cast<std::int8_t>(gain); });
  return gains;
}

Bytes gainBytes(const std::vector<int>& gains) {
  Bytes params(gains.size());
  std::transform(gains.begin(), gains.end(), params.begin(), [](int gain) { return static_cast<Byte>(gain); });
  return params;
}
}  // namespace

IFeatureForceInclusion8310::IFeatureForceInclusion8310() {
  static std::atomic<bool> logged{false};
  logFeatureIncluded(logged, "Feature8310Equalizer", "devio::IFeatureForceInclusion8310::IFeatureForceInclusion8310",
                     "Devio: Feature8310 included");
}

Feature8310Equalizer::Feature8310Equalizer(int index, std::weak_ptr<IDevice> device)
    : Feature(Id, index, std::move(device)) {}

bool Feature8310Equalizer::getEQInfo(int* bands, int* range) {
  Bytes p;
  if (!query(GetEQInfoFunction, {}, 2, p, true)) return false;
  store(bands, p[0]);
  store(range, p[1]);
  return true;
}

bool Feature8310Equalizer::getFrequencies(std::vector<int>* frequencies) {
  Bytes p;
  if (!query(GetFrequenciesFunction, {}, 2, p, true)) return false;
  const std::vector<unsigned> values = bigEndian16List(p, p.size() / 2);
  store(frequencies, std::vector<int>(values.begin(), values.end()));
  return true;
}

bool Feature8310Equalizer::getEQSettings(std::vector<int>* gains) {
  Bytes p;
  if (!query(GetEQSettingsFunction, {}, 1, p)) return false;
  store(gains, gainsOf(p));
  return true;
}

bool Feature8310Equalizer::setEQSettings(const std::vector<int>& gains) {
  return change(FN(setEQSettings), SetEQSettingsFunction, gainBytes(gains));
}

}  // namespace devio
