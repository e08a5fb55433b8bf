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
// The catalogue, likewise.
#include "devio/features/IFeature0005DeviceNameType.h"
#include "devio/features/IFeature0007DeviceFriendlyName.h"
#include "devio/features/IFeature1000BatteryUnifiedLevelStatus.h"
#include "devio/features/IFeature1001BatteryVoltage.h"
#include "devio/features/IFeature1800GenericTest.h"
#include "devio/features/IFeature1805OOBState.h"
#include "devio/features/IFeature1806ConfigurableDeviceProperties.h"
#include "devio/features/IFeature1981KeyboardBacklight.h"
#include "devio/features/IFeature1A00PresenterControl.h"
#include "devio/features/IFeature1B00SpecialKeys.h"
#include "devio/features/IFeature1B03SpecialKeys.h"
#include "devio/features/IFeature1B04SpecialKeys.h"
#include "devio/features/IFeature1BC0ReportHIDUsages.h"
#include "devio/features/IFeature1C00PersistentRemappableAction.h"
#include "devio/features/IFeature1D4BWirelessStatus.h"
#include "devio/features/IFeature1E00EnableHiddenFeatures.h"
#include "devio/features/IFeature1F1FFirmwareProperties.h"
#include "devio/features/IFeature1F20ADCMeasurement.h"
#include "devio/features/IFeature2005ButtonSwapCancel.h"
#include "devio/features/IFeature2110SmartShift.h"
#include "devio/features/IFeature2121HiResWheel.h"
#include "devio/features/IFeature2130RatchetWheel.h"
#include "devio/features/IFeature2201AdjustableDPI.h"
#include "devio/features/IFeature2205PointerMotionScaling.h"
#include "devio/features/IFeature2230AngleSnapping.h"
#include "devio/features/IFeature2240SurfaceTuning.h"
#include "devio/features/IFeature2400HybridTracking.h"
#include "devio/features/IFeature40A2FnInversion.h"
#include "devio/features/IFeature40A3FnInversion.h"
#include "devio/features/IFeature4220LockKeyState.h"
#include "devio/features/IFeature4521DisableKeys.h"
#include "devio/features/IFeature4522DKU.h"
#include "devio/features/IFeature4530DualPlatform.h"
#include "devio/features/IFeature4531MultiPlatform.h"
#include "devio/features/IFeature4540KBLayout.h"
#include "devio/features/IFeature6010Gestures.h"
#include "devio/features/IFeature6012Gestures.h"
#include "devio/features/IFeature6100TouchPadRawXY.h"
#include "devio/features/IFeature6500Gestures.h"
#include "devio/features/IFeature6501Gestures.h"
#include "devio/features/IFeature8010Gkey.h"
#include "devio/features/IFeature8020Mkeys.h"
#include "devio/features/IFeature8030MR.h"
#include "devio/features/IFeature8060ReportRate.h"
#include "devio/features/IFeature8070ColorLEDEffects.h"
#include "devio/features/IFeature8080PerKeyLighting.h"
#include "devio/features/IFeature8110MouseButtonSpy.h"
#include "devio/features/IFeature8111LatencyMonitoring.h"
#include "devio/features/IFeature8120GamingAttachments.h"
#include "devio/features/IFeature8123ForceFeedback.h"
#include "devio/features/IFeature8300Sidetone.h"
#include "devio/features/IFeature8310Equalizer.h"
// 0x1814 and 0x1815 have no force-inclusion class: the registrations below reference their units.
#include "devio/features/Feature1814ChangeHost.h"
#include "devio/features/Feature1815HostsInfos.h"

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

// Without a reference from here a static link would leave the two units, and with them their
// own registrations, out of every program.
[[maybe_unused]] static const bool hostFeaturesRegistered =
    registerFeatureClass<Feature1814ChangeHost>(Feature1814ChangeHost::Id) &&
    registerFeatureClass<Feature1815HostsInfos>(Feature1815HostsInfos::Id);

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
