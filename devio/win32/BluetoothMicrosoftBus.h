#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "devio/runtime/IBluetoothBus.h"
#include "devio/runtime/Producer.h"
#include "devio/runtime/Subscriber.h"
#include "devio/win32/BluetoothMicrosoftDevice.h"
#include "devio/win32/IWin32System.h"

namespace devio {

class Win32Bus;

// The host's Bluetooth classic stack beside the HID bus: tells from the registry's device
// enumeration keys which HID interface paths belong to paired devices (remembering every answer,
// an empty one too), and, once started, keeps the host's radios open and turns their device-change
// messages into radio arrivals and removals and into the link events of its devices. It rides on
// the HID bus's window and host-service seam; the HID bus hands it every WM_DEVICECHANGE.
//
// Threads: device-change messages and the radio events they cause on the window thread; path
// queries and the devices' queries on their callers'. The radios and devices have one mutex, the
// remembered answers another; neither is held while the window thread is asked for anything.
class BluetoothMicrosoftBus final : public IBluetoothBus,
                                    public Producer<IBluetoothBus::RadioArrivalRemovalInternal>,
                                    public Producer<IBluetoothBus::RadioArrivalRemovalExternal>,
                                    public Subscriber<IBluetoothBus::RadioArrivalRemovalInternal>,
                                    public std::enable_shared_from_this<BluetoothMicrosoftBus> {
 public:
  static constexpr const char* kClassicKey = "SYSTEM\\CurrentControlSet\\Enum\\BTHENUM";
  static constexpr const char* kLeKey = "SYSTEM\\CurrentControlSet\\Enum\\BTHLEDevice";

  // active: configuration item 0 or 1 is on.
  static std::shared_ptr<BluetoothMicrosoftBus> create(bool active, std::weak_ptr<Win32Bus> hidBus);
  ~BluetoothMicrosoftBus() override;

  // IBluetoothBus
  std::shared_ptr<IBluetoothDevice> device_paired_on_path(std::string path) override;
  void process_wm_devicechange(std::uint32_t event, void* header) override;

  // False with BluetoothUnavailable while inactive, Unavailable without the HID bus.
  bool lazy_start();
  void stop();

  // For its devices. What the host knows of the device on the first radio that knows it (a
  // radio it is connected through before others); false when none does.
  bool device_info(std::uint64_t address, BLUETOOTH_DEVICE_INFO* info, std::string* radio);
  bool get_connect_state_via_bgdi(std::uint64_t address, std::string* radio);
  bool verify_pairing_via_bgdi(std::uint64_t address, std::string* radio);
  bool radio_is_present(const std::string& radio);
  // The interface path of the radio a device's interface hangs under in the device tree, found by
  // walking up from the interface's device node; empty when no ancestor is a radio.
  std::string find_radio_via_pnp(const std::string& path);

  // The log line of a radio event that is only logged (HCI, HCI vendor, out of range); empty for
  // other events and for data shorter than the event's structure.
  static std::string logOnlyEventText(const DEV_BROADCAST_HANDLE& header);

 private:
  struct Radio {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HDEVNOTIFY registration = nullptr;
  };

  BluetoothMicrosoftBus(bool active, std::weak_ptr<Win32Bus> hidBus);

  // Internal radio handlers (window thread, or the starting thread).
  void onRadioArrival(std::string radio) override;
  void onRadioRemoval(std::string radio) override;
  void find_radios();

  std::shared_ptr<BluetoothMicrosoftDevice> device_paired_on_path_internal(const std::string& path, int busType);
  std::shared_ptr<BluetoothMicrosoftDevice> deviceFor(std::uint64_t address, int busType);
  std::shared_ptr<BluetoothMicrosoftDevice> existingDevice(std::uint64_t address, int busType);
  std::string radioOfHandle(HANDLE handle);
  // An unpaired device's paths are looked up afresh.
  void forgetAnswers(const std::shared_ptr<BluetoothMicrosoftDevice>& device);
  void customEvent(const DEV_BROADCAST_HANDLE& header);

  const bool active_;
  const std::weak_ptr<Win32Bus> hidBus_;
  std::mutex startMutex_;  // guards the start, system_ and interfaceRegistration_
  bool started_ = false;
  // The thread inside the start: the radios it finds reach handlers that may ask the bus again.
  std::atomic<std::thread::id> startingThread_{};
  std::shared_ptr<IWin32System> system_;  // the HID bus's, once started
  HDEVNOTIFY interfaceRegistration_ = nullptr;
  std::mutex mutex_;  // guards radios_ and devices_
  std::map<std::string, Radio> radios_;  // by interface path
  std::map<std::pair<std::uint64_t, int>, std::shared_ptr<BluetoothMicrosoftDevice>> devices_;
  std::mutex answersMutex_;  // guards answers_
  std::map<std::string, std::shared_ptr<BluetoothMicrosoftDevice>> answers_;  // by path; null: not Bluetooth
};

}  // namespace devio
