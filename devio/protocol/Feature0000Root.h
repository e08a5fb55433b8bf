#pragma once

#include <memory>
#include <mutex>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0000Root.h"

namespace devio {

class Feature0000Root : public Feature, public IFeature0000Root {
 public:
  static constexpr unsigned Id = 0x0000;

  Feature0000Root(int index, std::weak_ptr<IDevice> device);

  bool GetFeature(unsigned featureId, int* featureIndex, bool* obsolete, bool* hidden, bool* engineering, int* version,
                  bool cacheable) override;
  bool GetProtocolVersion(int ping_sent, int* protocol, int* targetsw, int* ping_received) override;
  bool TargetSw(int* protocol, int* targetsw) override;
  bool Ping(int value) override;

 private:
  // Protocol and target software, read once by TargetSw.
  std::mutex mutex_;
  Byte protocol_ = 0;
  Byte targetSw_ = 0;
  bool read_ = false;
};

}  // namespace devio
