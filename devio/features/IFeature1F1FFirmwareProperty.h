#pragma once

namespace devio {

// One property of the firmware properties feature (0x1F1F), as its table describes it.
class IFeature1F1FFirmwareProperty {
 public:
  class Notification {
   public:
    // The device reported that the property's value changed.
    virtual void onPropertyChanged() {}
    virtual ~Notification() = default;
  };

  virtual ~IFeature1F1FFirmwareProperty() = default;
  virtual unsigned propertyId() = 0;
  virtual unsigned flags() = 0;
  virtual unsigned size() = 0;
};

}  // namespace devio
