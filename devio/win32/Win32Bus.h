#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/IHardwareBus.h"
#include "devio/runtime/Producer.h"
#include "devio/win32/IWin32System.h"

namespace devio {

class Win32Device;

// The host's HID bus: enumerates the HID interfaces (the channel's open() is the filter) and
// announces arrivals and removals that the host reports to a hidden window. The window lives on
// a thread of the bus's own, started lazily by the first devices() or PlugUnplug subscription;
// handle and interface notifications are registered on that thread, requested from others with
// a bounded send. Every host call goes through the IWin32System the factory makes at the start.
//
// Threads: PlugUnplug is produced on the window thread (arrivals, removals, resume) and on read
// threads (a read that found the device gone); the tracked-handle map has its own mutex.
class Win32Bus final : public IHardwareBus,
                       public Producer<IHardwareBus::PlugUnplug>,
                       public std::enable_shared_from_this<Win32Bus> {
 public:
  using SystemFactory = std::function<std::shared_ptr<IWin32System>()>;

  static constexpr const wchar_t* kWindowClass = L"Norvale_Devio_MainWindow";
  static constexpr unsigned kRequestTag = 44;

  // Made and initialised (init) for a manager; the factory defaults to the host's own services.
  static std::shared_ptr<Win32Bus> create(std::weak_ptr<IDeviceManager> manager, SystemFactory factory = {});
  ~Win32Bus() override;

  // IHardwareBus
  std::vector<std::shared_ptr<IHardwareDevice>> devices() override;
  std::vector<std::shared_ptr<IBluetoothBus>> bluetooth_buses() override { return bluetoothBuses_; }
  bool wants_combiner() override { return true; }
  std::vector<std::shared_ptr<IHardwareSecondaryBus>> secondary_buses() override { return secondaryBuses_; }

  // Starts the window thread once; throws DevioException when the system object or the window
  // cannot be set up.
  void lazyStart();
  HWND hwnd() const { return hwnd_; }
  // The calling thread is the window's (where device-change messages are handled).
  bool onWindowThread() const;
  std::shared_ptr<IWin32System> system();

  // Used by the channels, from any thread.
  HDEVNOTIFY registerDeviceNotificationAndTakeOwnershipOfHandle(HANDLE handle);
  void unregisterDeviceNotificationAndCloseTrackedHandle(HDEVNOTIFY registration, HANDLE handle);
  bool verifyDeviceNotificationHandleOpen(HDEVNOTIFY registration, HANDLE handle);
  bool verify_device_exists(const std::string& path);
  void read_failed_with_disconnect_error(const std::string& path);

  // "DBT_DEVICEARRIVAL" … "DBT_DEVICEREMOVECOMPLETE" for the arrival and removal events, else null.
  static const char* deviceChangeName(std::uint32_t event);

  // Used by the Bluetooth bus: notifications of the Bluetooth radio interface class.
  HDEVNOTIFY registerInterfaceNotification();
  void unregisterInterfaceNotification(HDEVNOTIFY registration);

 protected:
  // A PlugUnplug subscriber starts the bus; refused when it cannot start.
  bool on_subscribe(IHardwareBus::PlugUnplug* subscriber) override;

 private:
  // A registration request carried to the window thread by address.
  struct Request {
    unsigned size = kRequestTag;
    bool ishandle = false;
    bool unregister = false;
    ErrorCode code = Success;
    DWORD systemError = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    HDEVNOTIFY handleNotification = nullptr;
    GUID interfaceClass{};
    HDEVNOTIFY interfaceNotification = nullptr;
  };

  Win32Bus(std::weak_ptr<IDeviceManager> manager, SystemFactory factory);
  void init();

  static LRESULT CALLBACK windowProcStatic(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void windowThreadStatic();
  void windowThread();
  void signalStarted(bool ok, DWORD error);
  bool sendRequest(Request& request, const char* noWindow);
  void performRequest(Request& request);
  HDEVNOTIFY registerInterface(const GUID& interfaceClass, DWORD* error);
  void processDeviceChange(UINT event, const DEV_BROADCAST_HDR* header);
  std::vector<std::shared_ptr<IHardwareDevice>> enumerateInterfaces(const GUID& interfaceClass);
  std::shared_ptr<Win32Device> makeDevice(const std::string& path);
  void produceUnplug(std::shared_ptr<IHardwareDevice> device);
  void reportError(const char* context);

  const std::weak_ptr<IDeviceManager> manager_;
  const SystemFactory factory_;
  std::atomic<HWND> hwnd_{nullptr};
  std::thread windowThread_;
  std::mutex startMutex_;  // guards the start handshake
  std::condition_variable startSignal_;
  bool started_ = false;
  bool startFailed_ = false;
  DWORD startError_ = 0;
  std::shared_ptr<IWin32System> system_;
  GUID hidGuid_{};
  std::vector<std::shared_ptr<IBluetoothBus>> bluetoothBuses_;
  std::vector<std::shared_ptr<IHardwareSecondaryBus>> secondaryBuses_;
  std::mutex trackedMutex_;  // guards trackedHandles_
  std::map<HDEVNOTIFY, HANDLE> trackedHandles_;  // INVALID_HANDLE_VALUE: already closed by the bus
  std::set<HDEVNOTIFY> interfaceNotifications_;  // window thread only
  std::mutex lazyStartMutex_;
  bool isStarted_ = false;
};

}  // namespace devio
