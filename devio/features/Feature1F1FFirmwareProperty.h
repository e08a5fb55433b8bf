#pragma once

#include "devio/features/IFeature1F1FFirmwareProperty.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Made by Feature1F1FFirmwareProperties for each property it loads; not registered.
class Feature1F1FFirmwareProperty : public IFeature1F1FFirmwareProperty,
                                    public Producer<IFeature1F1FFirmwareProperty::Notification> {
 public:
  Feature1F1FFirmwareProperty(unsigned id, unsigned flags, unsigned size);

  unsigned propertyId() override;
  unsigned flags() override;
  unsigned size() override;

  // Produces onPropertyChanged; runs on the channel's read thread.
  void changed();

 private:
  const unsigned id_;
  const unsigned flags_;
  const unsigned size_;
};

}  // namespace devio
