#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "devio/protocol/IFeature.h"

// The process-wide feature registry: feature id → factory of its class. The map is created on
// first use, so feature classes can register from any static initialiser, in any order.
namespace devio {

class IDevice;

// Makes the object of one feature class for (feature index, device).
using FeatureFactory = std::function<std::shared_ptr<IFeature>(int index, std::weak_ptr<IDevice> device)>;

// Inserts {id, factory}; an id already present keeps its first factory (the result is then false).
bool registerFeature(unsigned id, FeatureFactory factory);

// Registers class T, constructed as T(index, device), for id.
template <class T>
bool registerFeatureClass(unsigned id) {
  return registerFeature(id, [](int index, std::weak_ptr<IDevice> device) -> std::shared_ptr<IFeature> {
    return std::make_shared<T>(index, std::move(device));
  });
}

// The registered class's object for id, or a plain Feature when no class is registered. The
// caller stores the table flags (Feature::set_table_flags).
std::shared_ptr<IFeature> createFeature(unsigned id, int index, std::weak_ptr<IDevice> device);

}  // namespace devio
