#pragma once

#include <vector>

namespace devio {

// Equalizer (0x8310). Function 0: -> [bands, range in dB, ...]; function 1: -> [band frequencies in Hz,
// high, low]; functions 2 and 3: [gain in dB of each band, signed].
class IFeature8310Equalizer {
 public:
  virtual ~IFeature8310Equalizer() = default;
  virtual bool getEQInfo(int* bands, int* range) = 0;
  virtual bool getFrequencies(std::vector<int>* frequencies) = 0;
  virtual bool getEQSettings(std::vector<int>* gains) = 0;
  virtual bool setEQSettings(const std::vector<int>& gains) = 0;
};

// Defined with Feature8310Equalizer; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8310 {
 public:
  IFeatureForceInclusion8310();
};
[[maybe_unused]] static const IFeatureForceInclusion8310 forceInclusion8310;

}  // namespace devio
