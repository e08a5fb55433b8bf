#pragma once

#include <string>

#include "devio/runtime/SettingsStore.h"

// The maker's companion desktop program holds the keyboard open, so the tool ends it while it
// runs and starts it again when the user closes the tool. It is found by its image name and
// asked to end through its shutdown event; its path is kept in the tool's settings key.
//
// Threads: the dialog's thread only.
class CCompanion {
 public:
  static constexpr const wchar_t* ImageName = L"Vantrel.exe";
  static constexpr const wchar_t* ShutdownEvent = L"Global\\Vantrel_1.00_GlobalShutdown";
  static constexpr const char* PathValue = "VantrelPath";

  explicit CCompanion(devio::SettingsStore settings = devio::SettingsStore());

  // At start-up: remembers where the companion runs from, asks it to end and ends what is left
  // of it, and stores its path.
  void StopCompanion();
  // At an allowed close: starts the stored program again if StopCompanion found it running.
  void RestartIfStopped();

  // The full path of the first running companion, drive-letter form; empty when none.
  static std::wstring FindCompanionPath();
  bool SaveCompanionPath();
  void RestartCompanion();

  bool stopped() const { return stopped_; }
  const std::wstring& path() const { return path_; }

 private:
  devio::SettingsStore settings_;
  bool stopped_ = true;  // the shutdown event existed (the companion ran)
  std::wstring path_;
};
