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

SimulatedHidEndpoint::SimulatedHidEndpoint(std::size_t reportLength, HostWrite onHostWrite, bool reading)
    : reportLength_(reportLength), onHostWrite_(std::move(onHostWrite)), reading_(reading) {
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
  pending_->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread(&SimulatedHidEndpoint::serve, this);
}

SimulatedHidEndpoint::~SimulatedHidEndpoint() {
  sever();
  if (thread_.joinable()) thread_.join();
  if (stop_) CloseHandle(stop_);
  // Closing the pipe ended a pending write; its record and report must outlive it.
  if (pending_->active && WaitForSingleObject(pending_->done, 5000) != WAIT_OBJECT_0) {
    pending_.release();  // never ended: leaked rather than freed under the I/O
    return;
  }
  if (pending_->done) CloseHandle(pending_->done);
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
  // A write pends only while the input buffer is full (the host reads no more on this handle);
  // like a HID stack's input buffer, the endpoint then drops reports instead of waiting. Nothing
  // here waits for or cancels a write, so an unread handle never holds up the device.
  if (pending_->active && WaitForSingleObject(pending_->done, 0) != WAIT_OBJECT_0) return false;
  pending_->report = report;
  pending_->overlapped = {};
  pending_->overlapped.hEvent = pending_->done;
  ResetEvent(pending_->done);
  pending_->active = WriteFile(server_, pending_->report.data(), static_cast<DWORD>(pending_->report.size()), nullptr,
                              &pending_->overlapped) ||
                    GetLastError() == ERROR_IO_PENDING;
  return pending_->active;
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
