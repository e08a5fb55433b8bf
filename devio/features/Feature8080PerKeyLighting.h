#pragma once

#include <memory>

#include "devio/features/IFeature8080PerKeyLighting.h"
#include "devio/protocol/Feature.h"

namespace devio {

class Feature8080PerKeyLighting : public Feature, public IFeature8080PerKeyLighting {
 public:
  static constexpr unsigned Id = 0x8080;

  Feature8080PerKeyLighting(int index, std::weak_ptr<IDevice> device);

  bool GetInfo(int type, Bytes* info) override;
  bool SetIndividualKeys(const Bytes& keyColors) override;
  bool SetKeyRange(int first, int last, int color) override;
  bool SetKeyColor(int key, int color) override;
  bool SetConsecutiveKeys(int first, const Bytes& colors) override;
  bool SetSameColorKeys(int color, const Bytes& keys) override;
  bool FrameEnd(bool persist, int frame) override;
  bool FrameEnd() override;
};

}  // namespace devio
