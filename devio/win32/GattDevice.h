#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Producer.h"
#include "devio/win32/IWin32System.h"

namespace devio {

class GattBus;
class Win32Bus;

// One device reached through the Velo GATT service: its service handle, the Velo characteristic
// that carries reports both ways (value writes out, value-changed events in) and the client
// configuration descriptor that switches its notifications on. Reports are built and padded as
// HID reports are, so the device object above cannot tell the transports apart.
//
// Threads: value-changed events arrive on the host's GATT thread; the event registration is
// ended (which waits for a running event) before the device goes.
class GattDevice final : public IHardwareDevice,
                         public Producer<IHardwareDevice::Write>,
                         public Producer<IHardwareDevice::Read>,
                         public Producer<IHardwareDevice::Connect>,
                         public std::enable_shared_from_this<GattDevice> {
 public:
  GattDevice(std::weak_ptr<GattBus> gattBus, std::weak_ptr<Win32Bus> hidBus, std::shared_ptr<IWin32System> system,
             std::string path);
  ~GattDevice() override;

  // IHardwareDevice
  bool connected() override { return true; }
  bool open() override;
  void close() override;
  bool write(Bytes report, bool synchronous) override;
  std::weak_ptr<IHardwareBus> bus() override;
  std::string path() override { return path_; }
  std::uint16_t pid() override { return pid_; }
  std::string name() override { return path_; }
  int bus_type() override { return 4; }
  int report_types() override { return 3; }
  int device_report_types() override { return 3; }
  bool verify_connection_following_timeout() override;

  // The report a value-changed event carries: id 0x11 above 7 bytes, else 0x10; 0xFF as the device
  // index (the fixed-length characteristic's value begins with it); zero-padded to 20 bytes.
  static Bytes reportFromValue(const Bytes& value, bool fixedLength);
  // The value a report is written as.
  static Bytes valueFromReport(const Bytes& report, bool fixedLength);

 protected:
  bool on_subscribe(IHardwareDevice::Read* subscriber) override;
  void on_unsubscribe(IHardwareDevice::Read* subscriber) override;

 private:
  static void CALLBACK gattEvent(BTH_LE_GATT_EVENT_TYPE type, PVOID parameter, PVOID context);
  bool readLayout(HANDLE handle);
  // Logged at the first open only.
  void logCharacteristicValue(HANDLE handle, BTH_LE_GATT_CHARACTERISTIC& characteristic);
  void logDescriptor(HANDLE handle, BTH_LE_GATT_DESCRIPTOR& descriptor);
  bool startEventsLocked();
  void stopEventsLocked();
  bool fail(ErrorCode code, unsigned detail, const char* message, const char* log);

  const std::weak_ptr<GattBus> gattBus_;
  const std::weak_ptr<Win32Bus> hidBus_;
  const std::shared_ptr<IWin32System> system_;
  const std::string path_;
  std::uint16_t vid_ = 0;
  std::uint16_t pid_ = 0;
  std::mutex mutex_;  // guards everything below
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HDEVNOTIFY registration_ = nullptr;
  bool layoutRead_ = false;
  std::vector<BTH_LE_GATT_CHARACTERISTIC> characteristics_;  // Velo characteristics; the last is written
  bool fixedLength_ = false;
  BTH_LE_GATT_DESCRIPTOR configuration_{};  // of the last Velo characteristic
  bool hasConfiguration_ = false;
  BLUETOOTH_GATT_EVENT_HANDLE events_ = nullptr;
  int readers_ = 0;
};

}  // namespace devio
