#include "devio/win32/GattDevice.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "devio/protocol/LastError.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/GattBus.h"
#include "devio/win32/HexText.h"
#include "devio/win32/Win32Bus.h"

#define FN(name) "devio::GattDevice::" #name

namespace devio {

namespace {

constexpr const char* kTag = "GattDevice";
constexpr USHORT kMaxEntries = 30;
constexpr std::size_t kReportLength = 20;
constexpr std::size_t kShortValueLimit = 7;
constexpr std::size_t kLoggedValueLimit = 500;

bool isUuid(const BTH_LE_UUID& uuid, const GUID& guid) { return !uuid.IsShortUuid && IsEqualGUID(uuid.Value.LongUuid, guid); }

std::uint16_t hexAfter(const std::string& text, const std::string& marker, std::size_t digits) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos || at + marker.size() + digits > text.size()) return 0;
  return static_cast<std::uint16_t>(std::strtoul(text.substr(at + marker.size(), digits).c_str(), nullptr, 16));
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string uuidText(const BTH_LE_UUID& uuid) {
  char text[40];
  if (uuid.IsShortUuid) {
    std::snprintf(text, sizeof text, "0x%04x", uuid.Value.ShortUuid);
  } else {
    const GUID& g = uuid.Value.LongUuid;
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
  }
  return text;
}

// A value the host hands over in two calls, its size and then the value; `read(size, value,
// required)` is one call. At most kLoggedValueLimit bytes are kept.
template <class Value, class Read>
HRESULT twoCallValue(Read read, Bytes* bytes) {
  USHORT required = 0;
  HRESULT result = read(0, nullptr, &required);
  if (result != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) return FAILED(result) ? result : E_UNEXPECTED;
  std::vector<std::byte> buffer(std::max<std::size_t>(required, sizeof(Value)));
  auto* value = reinterpret_cast<Value*>(buffer.data());
  result = read(static_cast<ULONG>(buffer.size()), value, &required);
  if (FAILED(result)) return result;
  const std::size_t held = buffer.size() - offsetof(Value, Data);
  bytes->assign(value->Data, value->Data + std::min({static_cast<std::size_t>(value->DataSize), held, kLoggedValueLimit}));
  return result;
}

void logValue(const char* direction, const Bytes& value) {
  const std::string text = "-bt- 0x0 " + std::string(direction) + hexText(value, " ");
  xLog(kTag, LogVerbose, FN(value), "%s", text.c_str());
}

}  // namespace

GattDevice::GattDevice(std::weak_ptr<GattBus> gattBus, std::weak_ptr<Win32Bus> hidBus, std::shared_ptr<IWin32System> system,
                       std::string path)
    : gattBus_(std::move(gattBus)), hidBus_(std::move(hidBus)), system_(std::move(system)), path_(std::move(path)) {
  // "..._dev_vid&021d7a_pid&b35b...": the vendor id follows its source byte.
  const std::string text = lower(path_);
  vid_ = hexAfter(text, "}_dev_vid&02", 4);
  pid_ = hexAfter(text, "_pid&", 4);
}

GattDevice::~GattDevice() { close(); }

std::weak_ptr<IHardwareBus> GattDevice::bus() { return gattBus_; }

bool GattDevice::fail(ErrorCode code, unsigned detail, const char* message, const char* log) {
  LastError::set(code, detail, message);
  xLog(kTag, LogDebug, FN(open), "%s", log);
  return false;
}

bool GattDevice::open() {
  xLog(kTag, LogDebug, FN(open), "GattDevice::open enter");
  std::lock_guard lock(mutex_);
  if (handle_ != INVALID_HANDLE_VALUE) {
    xLog(kTag, LogDebug, FN(open), "GattDevice::open exit (true, already open)");
    return true;
  }
  if (path_.empty()) return fail(NoDevicePath, 0, nullptr, "GattDevice::open exit (false, no filepath)");
  xLog(kTag, LogDebug, FN(open), "Opening device '%s'", path_.c_str());
  const HANDLE handle = system_->CreateFileW(WideText::fromUtf8(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return fail(OpenFailed, GetLastError(), "CreateFile failed", "GattDevice::open exit (false, CreateFile failed)");
  }
  if (layoutRead_) {
    xLog(kTag, LogDebug, FN(open), "GattDevice::open already got GATT info");
  } else {
    xLog(kTag, LogDebug, FN(open), "GattDevice::open getting GATT info");
    if (!readLayout(handle)) {
      CloseHandle(handle);
      return fail(OpenFailed, 0, nullptr, "GattDevice::open exit (false, open_gatt error)");
    }
    layoutRead_ = true;
  }
  xLog(kTag, LogDebug, FN(open), "vid is %04x and pid is %04x", vid_, pid_);
  const auto hid = hidBus_.lock();
  if (!hid) {
    CloseHandle(handle);
    return fail(Unavailable, 0, nullptr, "GattDevice::open could not lock bus to register handle");
  }
  const HDEVNOTIFY registration = hid->registerDeviceNotificationAndTakeOwnershipOfHandle(handle);
  if (!registration) {
    CloseHandle(handle);
    xLog(kTag, LogDebug, FN(open), "GattDevice::open exit (false, could not register device notification)");
    return false;
  }
  handle_ = handle;
  registration_ = registration;
  if (readers_ > 0 && !startEventsLocked()) {
    xLog(kTag, LogDebug, FN(open), "GattDevice::open exit (false, could not register for read events)");
    return false;
  }
  xLog(kTag, LogDebug, FN(open), "GattDevice::open opened dev=%s", path_.c_str());
  xLog(kTag, LogDebug, FN(open), "GattDevice::open exit (true)");
  return true;
}

void GattDevice::close() {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HDEVNOTIFY registration = nullptr;
  {
    std::lock_guard lock(mutex_);
    stopEventsLocked();
    handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    registration = std::exchange(registration_, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return;
  if (const auto hid = hidBus_.lock()) {
    hid->unregisterDeviceNotificationAndCloseTrackedHandle(registration, handle);
  } else {
    CloseHandle(handle);
  }
}

bool GattDevice::readLayout(HANDLE handle) {
  BTH_LE_GATT_SERVICE services[kMaxEntries];
  USHORT serviceCount = 0;
  HRESULT result = system_->BluetoothGATTGetServices(handle, kMaxEntries, services, &serviceCount, BLUETOOTH_GATT_FLAG_NONE);
  if (FAILED(result) || serviceCount == 0) {
    xLog(kTag, LogWarning, FN(open_gatt), "GATT     interface has no services (BluetoothGATTGetServices -> %x)",
         static_cast<unsigned>(result));
    return false;
  }
  characteristics_.clear();
  for (USHORT s = 0; s < std::min(serviceCount, kMaxEntries); ++s) {
    BTH_LE_GATT_CHARACTERISTIC characteristics[kMaxEntries];
    USHORT count = 0;
    result = system_->BluetoothGATTGetCharacteristics(handle, &services[s], kMaxEntries, characteristics, &count,
                                                      BLUETOOTH_GATT_FLAG_NONE);
    if (FAILED(result)) continue;
    for (USHORT c = 0; c < std::min(count, kMaxEntries); ++c) {
      const auto& characteristic = characteristics[c];
      xLog(kTag, LogDebug, FN(open_gatt), "GATT         characteristic %04x %s%s%s%s%s%s%s%s", characteristic.AttributeHandle,
           characteristic.IsBroadcastable ? "B " : "", characteristic.IsReadable ? "R " : "", characteristic.IsWritable ? "W " : "",
           characteristic.IsWritableWithoutResponse ? "WWR " : "", characteristic.IsSignedWritable ? "SW " : "",
           characteristic.IsNotifiable ? "N " : "", characteristic.IsIndicatable ? "I " : "",
           characteristic.HasExtendedProperties ? "E " : "");
      logCharacteristicValue(handle, characteristics[c]);
      const bool fixed = isUuid(characteristic.CharacteristicUuid, GattBus::kVeloGatt);
      const bool variable = isUuid(characteristic.CharacteristicUuid, GattBus::kVeloGattVariable);
      if (fixed || variable) {
        xLog(kTag, LogDebug, FN(open_gatt), fixed ? "GATT             will use this characteristic is Velo GATT I/O (fixed length)"
                                                  : "GATT             will use this characteristic is Velo GATT I/O (variable length)");
        characteristics_.push_back(characteristic);
        fixedLength_ = fixedLength_ || fixed;
      }
      BTH_LE_GATT_DESCRIPTOR descriptors[kMaxEntries];
      USHORT descriptorCount = 0;
      if (FAILED(system_->BluetoothGATTGetDescriptors(handle, &characteristics[c], kMaxEntries, descriptors, &descriptorCount,
                                                      BLUETOOTH_GATT_FLAG_NONE))) {
        continue;
      }
      for (USHORT d = 0; d < std::min(descriptorCount, kMaxEntries); ++d) {
        logDescriptor(handle, descriptors[d]);
        if ((!fixed && !variable) || descriptors[d].DescriptorType != ClientCharacteristicConfiguration) continue;
        xLog(kTag, LogDebug, FN(open_gatt), "GATT                     will use this descriptor to enable Velo GATT");
        configuration_ = descriptors[d];
        hasConfiguration_ = true;
      }
    }
  }
  return true;
}

// A value that cannot be read is only logged: many characteristics are not readable.
void GattDevice::logCharacteristicValue(HANDLE handle, BTH_LE_GATT_CHARACTERISTIC& characteristic) {
  Bytes value;
  const HRESULT result = twoCallValue<BTH_LE_GATT_CHARACTERISTIC_VALUE>(
      [&](ULONG size, PBTH_LE_GATT_CHARACTERISTIC_VALUE buffer, USHORT* required) {
        return system_->BluetoothGATTGetCharacteristicValue(handle, &characteristic, size, buffer, required,
                                                            BLUETOOTH_GATT_FLAG_NONE);
      },
      &value);
  if (FAILED(result)) {
    xLog(kTag, LogDebug, FN(open_gatt), "GATT                 value not read (BluetoothGATTGetCharacteristicValue -> %x)",
         static_cast<unsigned>(result));
  } else {
    xLog(kTag, LogDebug, FN(open_gatt), "GATT                 value: %s", hexText(value, " ").c_str());
  }
}

void GattDevice::logDescriptor(HANDLE handle, BTH_LE_GATT_DESCRIPTOR& descriptor) {
  Bytes value;
  const HRESULT result = twoCallValue<BTH_LE_GATT_DESCRIPTOR_VALUE>(
      [&](ULONG size, PBTH_LE_GATT_DESCRIPTOR_VALUE buffer, USHORT* required) {
        return system_->BluetoothGATTGetDescriptorValue(handle, &descriptor, size, buffer, required, BLUETOOTH_GATT_FLAG_NONE);
      },
      &value);
  const std::string uuid = uuidText(descriptor.DescriptorUuid);
  if (FAILED(result)) {
    xLog(kTag, LogDebug, FN(open_gatt),
         "GATT                 descriptor type=%d uuid=%s value not read (BluetoothGATTGetDescriptorValue -> %x)",
         static_cast<int>(descriptor.DescriptorType), uuid.c_str(), static_cast<unsigned>(result));
  } else {
    xLog(kTag, LogDebug, FN(open_gatt), "GATT                 descriptor type=%d uuid=%s value: %s",
         static_cast<int>(descriptor.DescriptorType), uuid.c_str(), hexText(value, " ").c_str());
  }
}

// ---- reading ----

bool GattDevice::on_subscribe(IHardwareDevice::Read*) {
  std::lock_guard lock(mutex_);
  if (readers_++ > 0 || handle_ == INVALID_HANDLE_VALUE) return true;
  if (startEventsLocked()) return true;
  --readers_;
  return false;
}

void GattDevice::on_unsubscribe(IHardwareDevice::Read*) {
  std::lock_guard lock(mutex_);
  if (--readers_ == 0) stopEventsLocked();
}

bool GattDevice::startEventsLocked() {
  if (events_) return true;
  if (characteristics_.empty()) {
    LastError::set(InvalidDeviceHandle);
    return false;
  }
  BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION registration{};
  registration.NumCharacteristics = 1;
  registration.Characteristics[0] = characteristics_.back();
  HRESULT result = system_->BluetoothGATTRegisterEvent(handle_, CharacteristicValueChangedEvent, &registration,
                                                       &GattDevice::gattEvent, this, &events_, BLUETOOTH_GATT_FLAG_NONE);
  if (FAILED(result)) {
    events_ = nullptr;
    LastError::set(RegisterNotificationFailed, static_cast<unsigned>(result));
    return false;
  }
  if (!hasConfiguration_) return true;
  // Notifications on; a passive session (item 6) leaves the device's configuration alone.
  BTH_LE_GATT_DESCRIPTOR_VALUE value{};
  value.DescriptorType = ClientCharacteristicConfiguration;
  value.ClientCharacteristicConfiguration.IsSubscribeToNotification = DeviceManager::gattPassive() ? FALSE : TRUE;
  result = system_->BluetoothGATTSetDescriptorValue(handle_, &configuration_, &value, BLUETOOTH_GATT_FLAG_NONE);
  if (FAILED(result)) {
    stopEventsLocked();
    LastError::set(RegisterNotificationFailed, static_cast<unsigned>(result));
    return false;
  }
  return true;
}

void GattDevice::stopEventsLocked() {
  if (!events_) return;
  system_->BluetoothGATTUnregisterEvent(events_, BLUETOOTH_GATT_FLAG_NONE);
  events_ = nullptr;
}

void CALLBACK GattDevice::gattEvent(BTH_LE_GATT_EVENT_TYPE type, PVOID parameter, PVOID context) {
  auto* device = static_cast<GattDevice*>(context);
  const auto* event = static_cast<const BLUETOOTH_GATT_VALUE_CHANGED_EVENT*>(parameter);
  if (!event || !event->CharacteristicValue) {
    xLog(kTag, LogWarning, FN(gatt_event), "gatt_event got null EventOutParameter");
    return;
  }
  const auto* data = event->CharacteristicValue->Data;
  const Bytes value(data, data + event->CharacteristicValue->DataSize);
  xLog(kTag, LogVerbose, FN(gatt_event), "GATT event type=%d attr=%d size=%d size=%d", static_cast<int>(type),
       event->ChangedAttributeHandle, static_cast<int>(event->CharacteristicValueDataSize),
       static_cast<int>(event->CharacteristicValue->DataSize));
  logValue("[R]: ", value);
  bool fixed = false;
  {
    std::lock_guard lock(device->mutex_);
    fixed = device->fixedLength_;
  }
  const Bytes report = reportFromValue(value, fixed);
  device->Producer<IHardwareDevice::Read>::produce(
      [report](IHardwareDevice::Read* s) { s->onRead(report, false, 0, static_cast<unsigned>(report.size())); },
      "GattDevice::Read::onRead");
}

Bytes GattDevice::reportFromValue(const Bytes& value, bool fixedLength) {
  Bytes report{static_cast<Byte>(value.size() > kShortValueLimit ? 0x11 : 0x10), 0xFF};
  report.resize(fixedLength ? 1 : 2);
  report.insert(report.end(), value.begin(), value.end());
  if (report.size() < kReportLength) report.resize(kReportLength, 0);
  return report;
}

// ---- writing ----

Bytes GattDevice::valueFromReport(const Bytes& report, bool fixedLength) {
  if (fixedLength) {
    Bytes padded = report;
    padded.resize(kReportLength, 0);
    return Bytes(padded.begin() + 1, padded.end());
  }
  Bytes value(report.begin() + 2, report.end());
  while (value.size() > 1 && value.back() == 0) value.pop_back();
  return value;
}

bool GattDevice::write(Bytes report, bool synchronous) {
  xLog(kTag, LogDebug, FN(write), "GattDevice::write enter");
  const auto refuse = [this](ErrorCode code, unsigned detail, const char* message, const char* log) {
    if (log) xLog(kTag, LogDebug, FN(write), "%s", log);
    Producer<IHardwareDevice::Write>::produce([code, detail](IHardwareDevice::Write* s) { s->onWrite({}, code, detail); },
                                              "GattDevice::Write::onWrite");
    LastError::set(code, detail, message);
    return false;
  };
  if (!open()) {
    const LastError error = LastError::get();
    return refuse(error.code, error.detail, error.message, "GattDevice::write exit (false, open failed)");
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
  HDEVNOTIFY registration = nullptr;
  BTH_LE_GATT_CHARACTERISTIC characteristic{};
  bool haveCharacteristic = false;
  bool fixed = false;
  bool reading = false;
  {
    std::lock_guard lock(mutex_);
    handle = handle_;
    registration = registration_;
    haveCharacteristic = !characteristics_.empty();
    if (haveCharacteristic) characteristic = characteristics_.back();
    fixed = fixedLength_;
    reading = events_ != nullptr;
  }
  if (handle == INVALID_HANDLE_VALUE) return refuse(InvalidDeviceHandle, 0, nullptr, nullptr);
  const auto hid = hidBus_.lock();
  if (!hid || !hid->verifyDeviceNotificationHandleOpen(registration, handle)) return refuse(FileHandleClosed, 0, nullptr, nullptr);
  if (!haveCharacteristic) {
    return refuse(InvalidDeviceHandle, 0, nullptr, "GattDevice::write exit (false, InvalidDeviceHandle - no characteristics)");
  }
  if (DeviceManager::gattPassive()) return refuse(Abandoned, 0, nullptr, nullptr);
  if (report.size() <= 1) return refuse(WriteTooShort, 0, nullptr, nullptr);
  if (report.size() > kReportLength) return refuse(WriteExceedsCollectionSize, 0, nullptr, nullptr);
  if (synchronous && !reading) return refuse(CannotPerformWriteWithoutReadThreadRunning, 0, nullptr, nullptr);

  const Bytes value = valueFromReport(report, fixed);
  logValue("[W]: ", value);
  std::vector<std::byte> buffer(offsetof(BTH_LE_GATT_CHARACTERISTIC_VALUE, Data) + std::max<std::size_t>(value.size(), 1));
  auto* characteristicValue = reinterpret_cast<PBTH_LE_GATT_CHARACTERISTIC_VALUE>(buffer.data());
  characteristicValue->DataSize = static_cast<ULONG>(value.size());
  std::copy(value.begin(), value.end(), characteristicValue->Data);
  const ULONG flags = fixed ? BLUETOOTH_GATT_FLAG_NONE : BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE;
  const HRESULT result = system_->BluetoothGATTSetCharacteristicValue(handle, &characteristic, characteristicValue, 0, flags);
  if (FAILED(result)) {
    xLog(kTag, LogWarning, FN(write), "GATT write failed (BluetoothGATTSetCharacteristicValue -> %x)", static_cast<unsigned>(result));
    return refuse(WriteError, static_cast<unsigned>(result), "BluetoothGATTSetCharacteristicValue failed", nullptr);
  }
  Bytes written = report;
  written.resize(kReportLength, 0);
  Producer<IHardwareDevice::Write>::produce([written](IHardwareDevice::Write* s) { s->onWrite(written, Success, 0); },
                                            "GattDevice::Write::onWrite");
  xLog(kTag, LogDebug, FN(write), "GattDevice::write exit, ret=%d", 1);
  return true;
}

bool GattDevice::verify_connection_following_timeout() {
  const auto bus = gattBus_.lock();
  if (!bus) {
    xLog(kTag, LogDebug, FN(verify_connection_following_timeout), "GattDevice::verify_connection_following_timeout could not lock bus");
    return true;
  }
  if (bus->verify_device_exists(path_)) return true;
  xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
       "GattDevice::verify_connection_following_timeout returning false (is a zombie)");
  return false;
}

}  // namespace devio
