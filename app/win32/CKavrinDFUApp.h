#pragma once

#include <functional>

class CKavrinDFUDlg;

// The application object: starts the common controls and the shell's services, runs the update
// dialog modally and ends with it. Where an application framework would initialise itself and
// choose a visual style, the plain Win32 program has the manifest (common controls 6) instead.
class CKavrinDFUApp {
 public:
  // Runs on the dialog's thread after each message the workflow handled; may be empty.
  using DialogWatcher = std::function<void(const CKavrinDFUDlg&)>;

  explicit CKavrinDFUApp(DialogWatcher watcher = {}) : watcher_(std::move(watcher)) {}

  // Runs the tool. False: the application ends when the dialog ends.
  bool InitInstance();
  // 0 after an allowed close, 1 after the fatal error.
  int exitCode() const { return exitCode_; }

 private:
  DialogWatcher watcher_;
  int exitCode_ = 0;
};
