#include "sim/win32/SimulatedHidEndpoint.h"

#include <atomic>
#include <string>

namespace sim {

namespace {
// Reports queued for the host to read, as a HID stack's input buffer holds them.
constexpr DWORD kInputBufferBytes = 4096;

std::wstring uniquePipeName() {
  static std::atomic<unsigned> counter{0};
  return L"\\\\.\\pipe\\kz-simulated-hid-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++);
}
}  // namespace

SimulatedHidEndpoint::SimulatedHidEndpoint(std::size_t reportLength, HostWrite onHostWrite)
    : reportLength_(reportLength), onHostWrite_(std::move(onHostWrite)) {
  const std::wstring name = uniquePipeName();
  server_ = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kInputBufferBytes, 0, 0,
                             nullptr);
  if (server_ == INVALID_HANDLE_VALUE) return;
  client_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                        nullptr);
  if (client_ == INVALID_HANDLE_VALUE) return;
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(client_, &mode, nullptr, nullptr);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread(&SimulatedHidEndpoint::serve, this);
}

SimulatedHidEndpoint::~SimulatedHidEndpoint() {
  sever();
  if (thread_.joinable()) thread_.join();
  if (stop_) CloseHandle(stop_);
}

void SimulatedHidEndpoint::serve() {
  HANDLE readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  devio::Bytes buffer(reportLength_ + 1);
  bool clientGone = false;
  while (reading_ && !ended_) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone;
    ResetEvent(readDone);
    DWORD got = 0;
    if (!ReadFile(server_, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
      clientGone = true;
      break;
    }
    const HANDLE events[2] = {stop_, readDone};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
      CancelIoEx(server_, &overlapped);
      GetOverlappedResult(server_, &overlapped, &got, TRUE);
      break;
    }
    if (!GetOverlappedResult(server_, &overlapped, &got, FALSE)) {
      clientGone = true;
      break;
    }
    onHostWrite_(devio::Bytes(buffer.begin(), buffer.begin() + got));
  }
  if (clientGone) ended_ = true;
  CloseHandle(readDone);
}

bool SimulatedHidEndpoint::send(const devio::Bytes& report) {
  std::lock_guard lock(writeMutex_);
  if (ended_ || server_ == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD written = 0;
  bool ok = WriteFile(server_, report.data(), static_cast<DWORD>(report.size()), nullptr, &overlapped) ||
            GetLastError() == ERROR_IO_PENDING;
  // The input buffer takes it at once unless it is full; a full buffer drops it as a HID stack would.
  if (ok && WaitForSingleObject(overlapped.hEvent, 1000) != WAIT_OBJECT_0) {
    CancelIoEx(server_, &overlapped);
    ok = false;
  }
  ok = GetOverlappedResult(server_, &overlapped, &written, TRUE) && ok;
  CloseHandle(overlapped.hEvent);
  return ok;
}

void SimulatedHidEndpoint::stopReading() {
  reading_ = false;
  if (stop_) SetEvent(stop_);
}

void SimulatedHidEndpoint::sever() {
  {
    std::lock_guard lock(writeMutex_);
    ended_ = true;
    if (stop_) SetEvent(stop_);
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  std::lock_guard lock(writeMutex_);
  if (server_ != INVALID_HANDLE_VALUE) {
    CloseHandle(server_);
    server_ = INVALID_HANDLE_VALUE;
  }
}

}  // namespace sim
