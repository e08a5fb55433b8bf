#include "devio/features/Feature1F1FFirmwareProperty.h"

namespace devio {

Feature1F1FFirmwareProperty::Feature1F1FFirmwareProperty(unsigned id, unsigned flags, unsigned size)
    : id_(id), flags_(flags), size_(size) {}

unsigned Feature1F1FFirmwareProperty::propertyId() { return id_; }
unsigned Feature1F1FFirmwareProperty::flags() { return flags_; }
unsigned Feature1F1FFirmwareProperty::size() { return size_; }

void Feature1F1FFirmwareProperty::changed() {
  produce([](Notification* s) { s->onPropertyChanged(); },
          "Feature1F1FFirmwareProperty::Notification::onPropertyChanged");
}

}  // namespace devio
