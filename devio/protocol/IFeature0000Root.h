#pragma once

namespace devio {

// Root (0x0000), always at feature index 0: feature id → feature index, protocol version and
// target software, ping. Every pointer argument may be null; that value is then not stored.
class IFeature0000Root {
 public:
  virtual ~IFeature0000Root() = default;
  // featureIndex 0 means the device does not offer the feature.
  virtual bool GetFeature(unsigned featureId, int* featureIndex, bool* obsolete, bool* hidden, bool* engineering,
                          int* version, bool cacheable) = 0;
  // Cacheable exactly when ping_sent is 0.
  virtual bool GetProtocolVersion(int ping_sent, int* protocol, int* targetsw, int* ping_received) = 0;
  // GetProtocolVersion(0) once per object; later calls answer from memory.
  virtual bool TargetSw(int* protocol, int* targetsw) = 0;
  // Fails with PingMismatch when the answer does not echo the value.
  virtual bool Ping(int value) = 0;
};

// Defined with Feature0000Root: every unit that includes this header references that unit, so
// the class's registration is part of every program using it.
class IFeatureForceInclusion0000 {
 public:
  IFeatureForceInclusion0000();
};
[[maybe_unused]] static const IFeatureForceInclusion0000 forceInclusion0000;

}  // namespace devio
