#pragma once

#include <memory>

#include "devio/features/IFeature1F1FFirmwareProperty.h"
#include "devio/protocol/Byte.h"

namespace devio {

// Firmware properties (0x1F1F): values the firmware keeps (serial numbers, calibration), read and written
// through a selected offset. Function 1: [index] -> [id, flags, size high, low]; function 2: [id, offset high, low];
// the event: [id] of a property that changed.
class IFeature1F1FFirmwareProperties {
 public:
  class Report {
   public:
    virtual void onPropertyChanged(unsigned /*property*/) {}
    virtual ~Report() = default;
  };

  virtual ~IFeature1F1FFirmwareProperties() = default;
  virtual bool GetCount(int* count) = 0;
  virtual bool GetPropertyInfo(int index, int* id, int* flags, int* size) = 0;
  virtual bool SelectProperty(int id, int offset) = 0;
  // The data from the selected offset on.
  virtual bool ReadProperty(Bytes* data) = 0;
  // Writes data at the selected offset.
  virtual bool WriteProperty(const Bytes& data) = 0;
  virtual bool ClearProperty(int id) = 0;
  virtual bool GetPropertyState(int id, int* state) = 0;
  // Reads the property table; the objects below come from it.
  virtual bool LoadProperties() = 0;
  // The number of loaded properties.
  virtual bool PropertyCount(int* count) = 0;
  // A loaded property; IndexOutOfRange for an index outside the table.
  virtual bool GetProperty(int index, std::shared_ptr<IFeature1F1FFirmwareProperty>* property) = 0;
};

// Defined with Feature1F1FFirmwareProperties; see IFeatureForceInclusion0000.
class IFeatureForceInclusion1F1F {
 public:
  IFeatureForceInclusion1F1F();
};
[[maybe_unused]] static const IFeatureForceInclusion1F1F forceInclusion1F1F;

}  // namespace devio
