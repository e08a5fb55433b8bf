#pragma once

#include "devio/protocol/Byte.h"

namespace devio {

// Per-key lighting (0x8080): colours of single keys, written into a frame that FrameEnd shows.
// A colour is 0xRRGGBB, three bytes; keys are one byte.
class IFeature8080PerKeyLighting {
 public:
  virtual ~IFeature8080PerKeyLighting() = default;
  virtual bool GetInfo(int type, Bytes* info) = 0;
  // [key, red, green, blue] per key.
  virtual bool SetIndividualKeys(const Bytes& keyColors) = 0;
  virtual bool SetKeyRange(int first, int last, int color) = 0;
  virtual bool SetKeyColor(int key, int color) = 0;
  virtual bool SetConsecutiveKeys(int first, const Bytes& colors) = 0;
  virtual bool SetSameColorKeys(int color, const Bytes& keys) = 0;
  virtual bool FrameEnd(bool persist, int frame) = 0;
  // Shows the frame without keeping it.
  virtual bool FrameEnd() = 0;
};

// Defined with Feature8080PerKeyLighting; see IFeatureForceInclusion0000.
class IFeatureForceInclusion8080 {
 public:
  IFeatureForceInclusion8080();
};
[[maybe_unused]] static const IFeatureForceInclusion8080 forceInclusion8080;

}  // namespace devio
