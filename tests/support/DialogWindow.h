#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A dialog program (KavrinDFU-sim.exe) started as a user would start it, and its dialog seen from
// outside the process: found among the top-level windows, its controls read with window
// messages, its buttons clicked. Windows only.
class DialogWindow {
 public:
  // program: a Windows path; arguments are appended to the command line as they are.
  DialogWindow(const std::string& program, const std::vector<std::wstring>& arguments);
  ~DialogWindow();  // ends the program if it still runs
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  // Polls (real time, bounded) until the program shows its dialog; false when it does not.
  bool waitForDialog(std::chrono::milliseconds bound = std::chrono::seconds(60));
  // Polls until condition holds or the bound passes; answers whether it held.
  static bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);

  std::string title() const;
  std::string text(int control) const;
  bool visible(int control) const;
  unsigned progressPosition() const;
  // BM_CLICK on the button: the press and release of a mouse click.
  void click(int control) const;
  // The close box of the title bar.
  void closeBox() const;

  bool exists() const { return window_ && IsWindow(window_); }
  // The exit code once the program has ended within the bound; empty otherwise.
  std::optional<DWORD> waitForExit(std::chrono::milliseconds bound);

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace testsupport
