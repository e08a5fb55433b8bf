#include "devio/win32/Win32Device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"
#include "devio/runtime/XLog.h"
#include "devio/win32/DeviceInfoList.h"
#include "devio/win32/Win32Bus.h"

#define FN(name) "devio::Win32Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Win32Device";
constexpr std::uint16_t kNorvaleVendorId = 7546;  // 0x1D7A
constexpr std::uint16_t kVeloUsagePage = 0xFF00;
constexpr std::uint16_t kVeloBleUsagePage = 0xFF43;
constexpr ULONG kProductStringBytes = 252;

// Frees the preparsed data on every way out.
class PreparsedData {
 public:
  explicit PreparsedData(IWin32System& system) : system_(system) {}
  ~PreparsedData() {
    if (data) system_.HidD_FreePreparsedData(data);
  }
  PreparsedData(const PreparsedData&) = delete;
  PreparsedData& operator=(const PreparsedData&) = delete;
  PHIDP_PREPARSED_DATA data = nullptr;

 private:
  IWin32System& system_;
};

void closeValid(HANDLE& handle, const char* what) {
  if (handle == INVALID_HANDLE_VALUE) return;
  xLog(kTag, LogVerbose, FN(close), "Win32Device::close closing %s", what);
  CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

}  // namespace

Win32Device::Win32Device(std::weak_ptr<Win32Bus> bus, std::shared_ptr<IWin32System> system, std::string path)
    : bus_(std::move(bus)), system_(std::move(system)), path_(std::move(path)) {}

Win32Device::~Win32Device() {
  xLog(kTag, LogDebug, FN(~Win32Device), "Win32Device::~Win32Device enter");
  destructed_ = true;
  close();
  *alive_ = false;
  xLog(kTag, LogDebug, FN(~Win32Device), "Win32Device::~Win32Device exit");
}

std::weak_ptr<IHardwareBus> Win32Device::bus() { return bus_.lock(); }

bool Win32Device::fail(ErrorCode code, std::uint32_t detail, const char* message, const char* reason) {
  LastError::set(code, detail, message);
  xLog(kTag, LogDebug, FN(open), "Win32Device::open exit (%s)", reason);
  return false;
}

// ---- open ----

bool Win32Device::open() {
  std::lock_guard life(lifeMutex_);
  if (removed_) return fail(DeviceRemoved, 0, nullptr, "false, DeviceRemoved");
  if (destructed_) {
    xLog(kTag, LogDebug, FN(open), "Win32Device::open enter/exit (false, already destructed)");
    return false;
  }
  if (isOpen_) {
    xLog(kTag, LogVerbose, FN(open), "Win32Device::open verifying handle that is already open");
    auto bus = bus_.lock();
    if (notification_ && bus && bus->verifyDeviceNotificationHandleOpen(notification_, handle_)) {
      xLog(kTag, LogVerbose, FN(open), "Win32Device::open exit (true, already open)");
      return true;
    }
    close();
    xLog(kTag, LogDebug, FN(open), "Win32Device::open handle not valid, reopening");
  }
  if (path_.empty()) return fail(NoDevicePath, 0, nullptr, "false, no filepath");

  xLog(kTag, LogDebug, FN(open), "Opening device '%s'", path_.c_str());
  handle_ = system_->CreateFileW(WideText::fromUtf8(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                                 nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return fail(OpenFailed, GetLastError(), "CreateFile failed", "false, CreateFile failed");
  isOpen_ = true;

  if (!capsRead_ && !readCollection()) {
    const LastError error = LastError::get();
    close();
    LastError::set(error);
    return false;
  }
  if (!createEvents()) {
    const DWORD error = GetLastError();
    close();
    return fail(OpenFailed, error, "CreateEvent failed", "false, CreateEvent failed");
  }
  auto bus = bus_.lock();
  if (!bus) {
    xLog(kTag, LogDebug, FN(open), "Win32Device::open could not lock bus to register handle");
    close();
    return fail(Unavailable, 0, nullptr, "false, could not lock bus");
  }
  notification_ = bus->registerDeviceNotificationAndTakeOwnershipOfHandle(handle_);
  if (!notification_) {
    const LastError error = LastError::get();
    close();
    LastError::set(error);
    xLog(kTag, LogDebug, FN(open), "Win32Device::open exit (false, could not register device notification)");
    return false;
  }
  if (subscribed_) startReadThread();
  xLog(kTag, LogDebug, FN(open), "Win32Device::open opened dev=%s", path_.c_str());
  xLog(kTag, LogDebug, FN(open), "Win32Device::open exit (true)");
  return true;
}

// Attributes and capabilities, once: the test that keeps every collection but the maker's Velo
// collections out.
bool Win32Device::readCollection() {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (!system_->HidD_GetAttributes(handle_, &attributes)) {
    return fail(GetAttributesFailed, GetLastError(), nullptr, "false, HidD_GetAttributes failed");
  }
  vid_ = attributes.VendorID;
  pid_ = attributes.ProductID;
  version_ = attributes.VersionNumber;
  xLog(kTag, LogDebug, FN(open), "Win32Device::open vid=0x%04x pid=0x%04x ver=0x%04x", vid_, pid_, version_);
  if (vid_ == 0 && pid_ == 0) {
    // A Bluetooth LE HID path carries the ids in its text.
    const auto p = path_.find("}_dev_vid&02");
    if (p != std::string::npos && path_.size() > p + 25) {
      const std::string vid = path_.substr(p + 12, 4);
      const std::string pid = path_.substr(p + 21, 4);
      xLog(kTag, LogDebug, FN(open), "vid is %s and pid is %s", vid.c_str(), pid.c_str());
      vid_ = static_cast<std::uint16_t>(std::strtoul(vid.c_str(), nullptr, 16));
      pid_ = static_cast<std::uint16_t>(std::strtoul(pid.c_str(), nullptr, 16));
    }
  }
  if (vid_ != kNorvaleVendorId) return fail(ForeignDevice, vid_, nullptr, "false, ignoring non norvale device");

  PreparsedData preparsed(*system_);
  if (!system_->HidD_GetPreparsedData(handle_, &preparsed.data)) {
    return fail(GetPreparsedDataFailed, GetLastError(), nullptr, "false, HidD_GetPreparsedData failed");
  }
  HIDP_CAPS caps{};
  if (system_->HidP_GetCaps(preparsed.data, &caps) < 0) {
    return fail(GetCapsFailed, GetLastError(), nullptr, "false, HidP_GetCaps failed");
  }
  usage_ = caps.Usage;
  usagePage_ = caps.UsagePage;
  reportLength_ = caps.OutputReportByteLength;
  xLog(kTag, LogDebug, FN(open),
       "Win32Device::open usage=0x%04x page=0x%04x input=%d output=%d value caps in=%d out=%d button caps in=%d out=%d "
       "link nodes=%d",
       usage_, usagePage_, caps.InputReportByteLength, caps.OutputReportByteLength, caps.NumberInputValueCaps,
       caps.NumberOutputValueCaps, caps.NumberInputButtonCaps, caps.NumberOutputButtonCaps,
       caps.NumberLinkCollectionNodes);

  if (usagePage_ == kVeloUsagePage) {
    if (usage_ != 1 && usage_ != 2) return fail(UnsupportedInterface, 0, nullptr, "false, not a velo collection usage code");
  } else if (usagePage_ == kVeloBleUsagePage) {
    const int thisUsage = usage_ & 0xFF;
    const int expected = usage_ >> 8;
    int bit = -1;
    for (int b = 0; b < 8; ++b) {
      if (thisUsage == (1 << b)) bit = b;
    }
    xLog(kTag, LogDebug, FN(open), "Win32Device::open thisusage=%d expected=%d bit=%d", thisUsage, expected, bit);
    if (bit < 0 || !(expected & (1 << bit))) {
      return fail(UnsupportedInterface, 0, nullptr, "false, not a velo collection usage code");
    }
  } else {
    return fail(NotVendorUsagePage, 0, nullptr, "false, not vendor usage page");
  }
  if (caps.NumberOutputValueCaps + caps.NumberOutputButtonCaps != 1 ||
      caps.NumberInputValueCaps + caps.NumberInputButtonCaps != 1) {
    return fail(UnsupportedInterface, 0, nullptr, "false, not just a single button or value cap");
  }
  if (caps.InputReportByteLength != caps.OutputReportByteLength) {
    return fail(UnsupportedInterface, 0, nullptr, "false, mismatched input and output report sizes");
  }

  char reason[96];
  std::vector<HIDP_VALUE_CAPS> valueCaps(caps.NumberOutputValueCaps);
  USHORT valueCount = caps.NumberOutputValueCaps;
  if (valueCount > 0) {
    const NTSTATUS status = system_->HidP_GetValueCaps(HidP_Output, valueCaps.data(), &valueCount, preparsed.data);
    if (status < 0) {
      const DWORD error = GetLastError();
      std::snprintf(reason, sizeof reason, "false, HidP_GetValueCaps failed status=%x err=%d",
                    static_cast<unsigned>(status), static_cast<int>(error));
      return fail(GetCapsFailed, error, nullptr, reason);
    }
  }
  std::vector<HIDP_BUTTON_CAPS> buttonCaps(caps.NumberOutputButtonCaps);
  USHORT buttonCount = caps.NumberOutputButtonCaps;
  if (buttonCount > 0) {
    const NTSTATUS status = system_->HidP_GetButtonCaps(HidP_Output, buttonCaps.data(), &buttonCount, preparsed.data);
    if (status < 0) {
      const DWORD error = GetLastError();
      std::snprintf(reason, sizeof reason, "false, HidP_GetButtonCaps failed status=%x err=%d",
                    static_cast<unsigned>(status), static_cast<int>(error));
      return fail(GetCapsFailed, error, nullptr, reason);
    }
  }
  for (USHORT i = 0; i < valueCount; ++i) reportLengths_[valueCaps[i].ReportID] = reportLength_;
  for (USHORT i = 0; i < buttonCount; ++i) reportLengths_[buttonCaps[i].ReportID] = reportLength_;

  WCHAR product[kProductStringBytes / sizeof(WCHAR)] = {};
  if (system_->HidD_GetProductString(handle_, product, kProductStringBytes)) {
    productName_ = WideText::toUtf8(product);
    xLog(kTag, LogDebug, FN(open), "HidD_GetProductString returned str %s", productName_.c_str());
  } else {
    xLog(kTag, LogDebug, FN(open), "Win32Device::open HidD_GetProductString failed, err=%d",
         static_cast<int>(GetLastError()));
  }
  capsRead_ = true;
  if (device_report_types() != report_types() && parentInstance_.empty()) findParentInstance();
  return true;
}

// All collections of one device share their parent's instance id (what the combiner merges on).
void Win32Device::findParentInstance() {
  DeviceInfoList list(*system_, system_->SetupDiCreateDeviceInfoList(nullptr, nullptr));
  if (!list.valid()) return;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  if (!system_->SetupDiOpenDeviceInterfaceW(list.get(), WideText::fromUtf8(path_).c_str(), 0, &interfaceData)) return;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!system_->SetupDiEnumDeviceInfo(list.get(), 0, &info)) return;
  DEVINST parent = 0;
  if (system_->CM_Get_Parent(&parent, info.DevInst, 0) != CR_SUCCESS) return;
  parentInstance_ = system_->setupdi_instance_from_devnode(parent);
  xLog(kTag, LogDebug, FN(open), "Win32Device::open parent instance %s", parentInstance_.c_str());
}

bool Win32Device::createEvents() {
  writeEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  readEvents_ = {CreateEventW(nullptr, FALSE, FALSE, nullptr), CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  for (HANDLE& event : readEvents_) {
    if (!event) event = INVALID_HANDLE_VALUE;
  }
  if (!writeEvent_) writeEvent_ = INVALID_HANDLE_VALUE;
  return writeEvent_ != INVALID_HANDLE_VALUE &&
         std::none_of(readEvents_.begin(), readEvents_.end(), [](HANDLE e) { return e == INVALID_HANDLE_VALUE; });
}

int Win32Device::device_report_types() {
  if (pid_ == 0x2E40) return 2;
  if (usagePage_ == kVeloBleUsagePage) return usage_ >> 8;
  if (usagePage_ == kVeloUsagePage && (usage_ == 1 || usage_ == 2)) return 3;
  return usage_ & 0xFF;
}

std::string Win32Device::physical_id() {
  return device_report_types() == report_types() || parentInstance_.empty() ? path_ : parentInstance_;
}

// ---- reading ----

bool Win32Device::on_subscribe(IHardwareDevice::Read*) {
  std::lock_guard life(lifeMutex_);
  subscribed_ = true;
  if (isOpen_) startReadThread();
  return true;
}

bool Win32Device::onReadThread() { return readThread_.get_id() == std::this_thread::get_id(); }

void Win32Device::startReadThread() {
  if (reading_) {
    xLog(kTag, LogDebug, FN(on_subscribe), "Win32Device::on_subscribe device already has read thread");
    return;
  }
  if (readThread_.joinable()) readThread_.join();  // a run that ended by itself
  ResetEvent(readEvents_[0]);
  reading_ = true;
  run_ = std::make_shared<std::atomic<bool>>(true);
  std::unique_lock lock(startMutex_);
  readThreadStarted_ = false;
  readThread_ = std::thread(&Win32Device::read_thread, this, run_);
  startSignal_.wait(lock, [this] { return readThreadStarted_; });
}

void Win32Device::logReport(const char* direction, const Bytes& report, std::size_t size) {
  char line[256];
  int used = std::snprintf(line, sizeof line, "-hid- 0x%x %s: ", pid_, direction);
  for (std::size_t i = 0; i < size && used > 0 && used < static_cast<int>(sizeof line) - 4; ++i) {
    used += std::snprintf(line + used, sizeof line - used, "%02x ", report[i]);
  }
  xLog(kTag, LogVerbose, FN(read_thread), "%s", line);
}

void Win32Device::read_thread(std::shared_ptr<std::atomic<bool>> run) {
  {
    std::lock_guard lock(startMutex_);
    readThreadStarted_ = true;
  }
  startSignal_.notify_all();
  if (destructed_) return;
  // A handler may drop the last reference to this channel (a combiner letting go of an unplugged
  // piece): the loop holds the channel only while it uses it, and once its own release destroyed
  // it (close() from this thread detaches it) it touches nothing more.
  const std::weak_ptr<Win32Device> weak = weak_from_this();
  const std::shared_ptr<std::atomic<bool>> alive = alive_;
  const HANDLE handle = handle_;
  const HANDLE events[2] = {readEvents_[0], readEvents_[1]};
  Bytes buffer(static_cast<std::size_t>(reportLength_));
  const auto stop = [&] {
    *run = false;
    reading_ = false;
  };
  // The pending read owns it until it completes.
  OVERLAPPED overlapped{};
  while (*run) {
    overlapped = {};
    overlapped.hEvent = events[1];
    ResetEvent(events[1]);
    DWORD got = 0;
    DWORD error = ERROR_SUCCESS;
    const bool started =
        system_->ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &overlapped) ||
        (error = GetLastError()) == ERROR_IO_PENDING;
    if (started) {
      // Also a read that completed at once has signalled its event.
      error = ERROR_SUCCESS;
      if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread got stop event");
        stop();
        // The pending read owns the buffer and the overlapped record until it completes.
        system_->CancelIoEx(handle, &overlapped);
        system_->GetOverlappedResult(handle, &overlapped, &got, TRUE);
        break;
      }
      if (!system_->GetOverlappedResult(handle, &overlapped, &got, FALSE)) error = GetLastError();
    }
    auto self = weak.lock();
    if (!self || destructed_) {
      // Being destroyed elsewhere: that thread joins this one.
      xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread stopping because destructed (before producing event)");
      return;
    }
    const auto size = static_cast<unsigned>(buffer.size());
    if (error == ERROR_DEVICE_NOT_CONNECTED) {
      xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread ERROR_DEVICE_NOT_CONNECTED");
      stop();
      if (auto bus = bus_.lock()) {
        bus->read_failed_with_disconnect_error(path_);
        removed_ = true;
      }
      Producer<Read>::produce([](Read* s) { s->onRead({}, false, ERROR_DEVICE_NOT_CONNECTED, 0); },
                              "Win32Device::Read::onRead");
    } else if (error == ERROR_SUCCESS) {
      logReport("[R]", buffer, got);
      Producer<Read>::produce([&buffer, size](Read* s) { s->onRead(buffer, false, 0, size); }, "Win32Device::Read::onRead");
    } else {
      xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread read failed, err=%d", static_cast<int>(error));
      Producer<Read>::produce([error, size](Read* s) { s->onRead({}, false, error, size); }, "Win32Device::Read::onRead");
      // A handle closed under the read (a removal query, close()) can never be read again.
      if (error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE) stop();
    }
    self.reset();
    if (!*alive) return;
    if (destructed_) {
      xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread stopping because destructed (after producing event)");
      return;
    }
  }
  xLog(kTag, LogDebug, FN(read_thread), "Win32Device::read_thread end");
}

// ---- writing ----

void Win32Device::produceWrite(const Bytes& report, ErrorCode code, unsigned detail) {
  Producer<Write>::produce([report, code, detail](Write* s) { s->onWrite(report, code, detail); },
                           "Win32Device::Write::onWrite");
}

bool Win32Device::write(Bytes report, bool synchronous) {
  const auto refuse = [this](ErrorCode code, std::uint32_t detail, const char* reason) {
    produceWrite({}, code, detail);
    LastError::set(code, detail);
    xLog(kTag, LogDebug, FN(write), "Win32Device::write exit (false, %s)", reason);
    return false;
  };
  if (!open()) {
    const LastError error = LastError::get();
    produceWrite({}, error.code, error.detail);
    LastError::set(error);
    xLog(kTag, LogDebug, FN(write), "Win32Device::write exit (false, open failed)");
    return false;
  }
  if (handle_ == INVALID_HANDLE_VALUE || writeEvent_ == INVALID_HANDLE_VALUE) {
    return refuse(InvalidDeviceHandle, 0, "invalid handle");
  }
  if (report.empty()) return refuse(WriteTooShort, 0, "empty report");
  for (const auto& [id, length] : reportLengths_) {
    if (static_cast<std::size_t>(length) >= report.size()) {
      report[0] = id;
      break;
    }
  }
  if (report.size() > static_cast<std::size_t>(reportLength_)) {
    return refuse(WriteExceedsCollectionSize, 0, "report exceeds collection size");
  }
  report.resize(static_cast<std::size_t>(reportLength_), 0);
  if (synchronous && !reading_) {
    return refuse(CannotPerformWriteWithoutReadThreadRunning, 0, "no read thread");
  }
  if (synchronous && onReadThread()) return refuse(CannotPerformBlockingWriteOnReadThread, 0, "on read thread");

  ErrorCode code = Success;
  DWORD detail = 0;
  {
    std::lock_guard lock(writeMutex_);
    logReport("[W]", report, report.size());
    OVERLAPPED overlapped{};
    overlapped.hEvent = writeEvent_;
    ResetEvent(writeEvent_);
    DWORD written = 0;
    if (!system_->WriteFile(handle_, report.data(), static_cast<DWORD>(report.size()), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
      code = WriteError;
      detail = GetLastError();
    } else {
      const DWORD wait = WaitForSingleObject(writeEvent_, static_cast<DWORD>(writeTimeout_.count()));
      if (wait != WAIT_OBJECT_0) {
        xLog(kTag, LogDebug, FN(write), "Win32Device::write timeout, waitresult=0x%08x", static_cast<unsigned>(wait));
        code = WriteTimeout;
        system_->CancelIoEx(handle_, &overlapped);
        // The cancelled write owns the record until it completes.
        system_->GetOverlappedResult(handle_, &overlapped, &written, TRUE);
      } else if (!system_->GetOverlappedResult(handle_, &overlapped, &written, FALSE)) {
        code = WriteError;
        detail = GetLastError();
      }
    }
  }
  if (code == WriteError && detail == ERROR_GEN_FAILURE) code = WriteGeneralFailure;
  switch (code) {
    case Success:
      xLog(kTag, LogVerbose, FN(write), "Win32Device::write successful");
      break;
    case WriteError:
      xLog(kTag, LogDebug, FN(write), "Win32Device::write WriteError, errcode_sys=%d", static_cast<int>(detail));
      break;
    case WriteTimeout:
      xLog(kTag, LogDebug, FN(write), "Win32Device::write WriteTimeout");
      break;
    default:
      xLog(kTag, LogError, FN(write), "Win32Device::write This shouldn't happen");
      break;
  }
  produceWrite(report, code, detail);
  xLog(kTag, LogVerbose, FN(write), "Win32Device::write exit, ret=%d", code == Success ? 1 : 0);
  if (code != Success) {
    LastError::set(code, detail);
    return false;
  }
  return true;
}

// ---- closing ----

void Win32Device::close() {
  xLog(kTag, LogDebug, FN(close), "Win32Device::close enter, dev=%s", path_.c_str());
  std::thread reader;
  {
    std::lock_guard life(lifeMutex_);
    if (readThread_.joinable()) {
      reading_ = false;
      *run_ = false;
      SetEvent(readEvents_[0]);
      reader = std::move(readThread_);
    }
  }
  if (reader.joinable()) {
    if (reader.get_id() == std::this_thread::get_id()) {
      xLog(kTag, LogDebug, FN(close),
           "close is being called from the read thread, so detaching read thread instead of joining it");
      reader.detach();
    } else {
      try {
        reader.join();
      } catch (const std::exception& e) {
        xLog(kTag, LogError, FN(close), "Win32Device::close join failed: %s", e.what());
      }
    }
  }
  std::lock_guard life(lifeMutex_);
  if (notification_) {
    if (auto bus = bus_.lock()) bus->unregisterDeviceNotificationAndCloseTrackedHandle(notification_, handle_);
    notification_ = nullptr;
    handle_ = INVALID_HANDLE_VALUE;
  } else {
    closeValid(handle_, "handle");
  }
  closeValid(writeEvent_, "write event");
  for (HANDLE& event : readEvents_) closeValid(event, "read event");
  readEvents_.clear();
  isOpen_ = false;
  xLog(kTag, LogDebug, FN(close), "Win32Device::close exit");
}

bool Win32Device::verify_connection_following_timeout() {
  auto bus = bus_.lock();
  if (!bus) {
    xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
         "Win32Device::verify_connection_following_timeout could not lock bus");
    return true;
  }
  if (bus->verify_device_exists(path_)) return true;
  xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
       "Win32Device::verify_connection_following_timeout returning false (is a zombie)");
  return false;
}

}  // namespace devio
