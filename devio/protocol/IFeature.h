#pragma once

#include <memory>
#include <vector>

#include "devio/protocol/Byte.h"

namespace devio {

class IDevice;

// One Velo 2.0 feature of one device, as every feature class offers it.
class IFeature {
 public:
  class FeatureReport {
   public:
    // A notification of the device for this feature (software id 0).
    virtual void onFeatureReport(int /*function*/, const Bytes& /*payload*/) {}
    // A response to this feature that answered another program's request.
    virtual void onUnexpectedResponse(unsigned /*function*/, unsigned /*swid*/, const Bytes& /*payload*/) {}
    virtual ~FeatureReport() = default;
  };

  virtual ~IFeature() = default;
  virtual unsigned id() = 0;
  virtual bool sendFeatureCommandNoResponse(int function, const Bytes& params) = 0;
  virtual bool sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable) = 0;
  virtual bool sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable,
                                  std::vector<int> match) = 0;
  virtual bool is_configured() = 0;
  virtual bool is_pending() = 0;
  // Empty when the device is gone.
  virtual std::shared_ptr<IDevice> device() = 0;
  virtual bool obsolete() = 0;
  virtual bool hidden() = 0;
  virtual bool engineering() = 0;
  virtual int index() = 0;
  virtual int version() = 0;
  virtual std::shared_ptr<IFeature> self() = 0;
};

}  // namespace devio
