#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"
#include "devio/win32/IWin32System.h"

namespace devio {

class GattDevice;
class Win32Bus;

// The devices reached through the Velo GATT service, a secondary bus of the HID bus: enumerated
// as interfaces of that service's class, announced as they arrive and leave (the HID bus hands
// it every WM_DEVICECHANGE). Started by the first devices() or PlugUnplug subscription.
class GattBus final : public IHardwareSecondaryBus,
                      public Producer<IHardwareBus::PlugUnplug>,
                      public std::enable_shared_from_this<GattBus> {
 public:
  // {00010000-0000-1000-8000-011F20001D7A}: the service class and the fixed-length characteristic.
  static constexpr GUID kVeloGatt = {0x00010000, 0x0000, 0x1000, {0x80, 0x00, 0x01, 0x1f, 0x20, 0x00, 0x1d, 0x7a}};
  // {00010001-0000-1000-8000-011F20001D7A}: the variable-length characteristic.
  static constexpr GUID kVeloGattVariable = {0x00010001, 0x0000, 0x1000, {0x80, 0x00, 0x01, 0x1f, 0x20, 0x00, 0x1d, 0x7a}};

  static std::shared_ptr<GattBus> create(std::weak_ptr<Win32Bus> hidBus);
  ~GattBus() override;

  // IHardwareBus
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override;
  void process_wm_devicechange(std::uint32_t event, void* header) override;

  bool lazyStart();
  // For its devices.
  bool verify_device_exists(const std::string& path);
  void read_failed_with_disconnect_error(const std::string& path);

 protected:
  bool on_subscribe(IHardwareBus::PlugUnplug* subscriber) override;

 private:
  explicit GattBus(std::weak_ptr<Win32Bus> hidBus);
  std::vector<std::string> findInterfaces();
  std::shared_ptr<GattDevice> deviceFor(const std::string& path);
  static bool opened(GattDevice& device);
  void produce(bool plug, const std::shared_ptr<IHardwareDevice>& device);

  const std::weak_ptr<Win32Bus> hidBus_;
  std::mutex startMutex_;  // guards the three below
  bool started_ = false;
  std::shared_ptr<IWin32System> system_;
  HDEVNOTIFY registration_ = nullptr;
  std::mutex devicesMutex_;  // guards devices_
  std::map<std::string, std::shared_ptr<GattDevice>> devices_;  // announced, by path
};

}  // namespace devio
