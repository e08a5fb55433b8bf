#include "devio/protocol/FeatureRegistry.h"

#include <map>
#include <mutex>

#include "devio/protocol/Feature.h"

// Each core interface header forces its class's unit into the program; including them here
// makes every program that creates features carry the core classes' registrations.
#include "devio/protocol/IFeature0000Root.h"
#include "devio/protocol/IFeature0001FeatureSet.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/protocol/IFeature0020ConfigChange.h"
#include "devio/protocol/IFeature1802DeviceReset.h"
// The classes of the firmware update, likewise.
#include "devio/features/IFeature00c0DFUControl.h"
#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/features/IFeature00c2DFUControl.h"
#include "devio/features/IFeature00d0DFU.h"
#include "devio/features/IFeature1300LEDControl.h"
#include "devio/features/IFeature8100OnboardProfiles.h"

namespace devio {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<unsigned, FeatureFactory> factories;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

bool registerFeature(unsigned id, FeatureFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.factories.try_emplace(id, std::move(factory)).second;
}

std::shared_ptr<IFeature> createFeature(unsigned id, int index, std::weak_ptr<IDevice> device) {
  FeatureFactory factory;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.factories.find(id); it != r.factories.end()) factory = it->second;
  }
  if (factory) return factory(index, std::move(device));
  return std::make_shared<Feature>(id, index, std::move(device));
}

}  // namespace devio
