#pragma once

#include <memory>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0001FeatureSet.h"

namespace devio {

class Feature0001FeatureSet : public Feature, public IFeature0001FeatureSet {
 public:
  static constexpr unsigned Id = 0x0001;

  Feature0001FeatureSet(int index, std::weak_ptr<IDevice> device);

  bool GetCount(int* count) override;
  bool GetFeatureID(int featureIndex, unsigned* featureID, bool* engineeringHidden, bool* swHidden, bool* obsolete,
                    int* version) override;
};

}  // namespace devio
