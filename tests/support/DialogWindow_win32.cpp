#include "tests/support/DialogWindow.h"

#include <optional>
#include <thread>

#include <commctrl.h>

#include "devio/runtime/WideText.h"

namespace testsupport {

namespace {

std::string windowText(HWND window) {
  wchar_t buffer[1024] = {};
  // WM_GETTEXT crosses the process boundary: the system copies the text back.
  const auto length = SendMessageW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer));
  return devio::WideText::toUtf8(std::wstring_view(buffer, static_cast<std::size_t>(length)));
}

}  // namespace

DialogWindow::DialogWindow(const std::string& program, const std::vector<std::wstring>& arguments) {
  std::wstring commandLine = L"\"" + devio::WideText::fromUtf8(program) + L"\"";
  for (const auto& argument : arguments) commandLine += L" " + argument;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_);
}

DialogWindow::~DialogWindow() {
  if (!process_.hProcess) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool DialogWindow::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool DialogWindow::waitForDialog(std::chrono::milliseconds bound) {
  if (!process_.hProcess) return false;
  return waitUntil(
      [this] {
        struct Search {
          DWORD processId;
          HWND found = nullptr;
        } search{process_.dwProcessId};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
              auto& s = *reinterpret_cast<Search*>(param);
              DWORD owner = 0;
              GetWindowThreadProcessId(window, &owner);
              wchar_t className[64] = {};
              GetClassNameW(window, className, 64);
              if (owner == s.processId && std::wstring_view(className) == L"#32770" && IsWindowVisible(window))
                s.found = window;
              return s.found == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        window_ = search.found;
        return window_ != nullptr;
      },
      bound);
}

std::string DialogWindow::title() const { return windowText(window_); }

std::string DialogWindow::text(int control) const { return windowText(GetDlgItem(window_, control)); }

bool DialogWindow::visible(int control) const { return IsWindowVisible(GetDlgItem(window_, control)) != 0; }

unsigned DialogWindow::progressPosition() const {
  return static_cast<unsigned>(SendDlgItemMessageW(window_, 1000, PBM_GETPOS, 0, 0));
}

void DialogWindow::click(int control) const { SendDlgItemMessageW(window_, control, BM_CLICK, 0, 0); }

void DialogWindow::closeBox() const { SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::optional<DWORD> DialogWindow::waitForExit(std::chrono::milliseconds bound) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

}  // namespace testsupport
