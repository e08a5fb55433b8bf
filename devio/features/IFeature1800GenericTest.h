#pragma once

#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

// Generic test (0x1800): a request whose answer or later notifications carry test data.
class IFeature1800GenericTest {
 public:
  class GenericResponse {
   public:
    virtual void onTestResponse(int /*function*/, const std::vector<Byte>& /*payload*/) {}
    virtual ~GenericResponse() = default;
  };

  virtual ~IFeature1800GenericTest() = default;
  virtual bool Test(const Bytes& data, Bytes* answer) = 0;
};

// Defined with Feature1800GenericTest; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1800 {
 public:
  IFeatureForceInclusion1800();
};
[[maybe_unused]] static const IFeatureForceInclusion1800 forceInclusion1800;

}  // namespace devio
