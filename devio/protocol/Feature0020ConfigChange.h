#pragma once

#include <memory>

#include "devio/protocol/Feature.h"
#include "devio/protocol/IFeature0020ConfigChange.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Produces ConfigReport when another program's SetCookie is answered.
class Feature0020ConfigChange : public Feature,
                                public IFeature0020ConfigChange,
                                public Producer<IFeature0020ConfigChange::ConfigReport> {
 public:
  static constexpr unsigned Id = 0x0020;

  Feature0020ConfigChange(int index, std::weak_ptr<IDevice> device);

  bool GetCookie(unsigned short* cookie) override;
  bool SetCookie(int cookie) override;

  // Another program's response: a SetCookie answer produces ConfigReport::onCookieSet.
  void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload) override;
};

}  // namespace devio
