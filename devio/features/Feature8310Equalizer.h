#pragma once

#include <memory>

#include "devio/features/IFeature8310Equalizer.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature8310Equalizer : public Feature, public IFeature8310Equalizer {
 public:
  static constexpr unsigned Id = 0x8310;

  Feature8310Equalizer(int index, std::weak_ptr<IDevice> device);

  bool getEQInfo(int* bands, int* range) override;
  bool getFrequencies(std::vector<int>* frequencies) override;
  bool getEQSettings(std::vector<int>* gains) override;
  bool setEQSettings(const std::vector<int>& gains) override;
};

}  // namespace devio
