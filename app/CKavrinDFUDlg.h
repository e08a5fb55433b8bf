#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/IDialogHost.h"
#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/features/IFeature00d0DFU.h"
#include "devio/protocol/Byte.h"
#include "devio/protocol/IDevice.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/IDeviceManager.h"
#include "devio/runtime/SettingsStore.h"
#include "devio/runtime/Subscriber.h"

// The update workflow of the Kavrin Zephel: recognises the keyboard, checks its firmware
// version, arms its update mode, streams the image with acknowledgement, watchdog and retry,
// and restores the settings it backed up. The window it runs in is an IDialogHost.
//
// Threads: onRunLoopEvent runs on any library thread and only posts WM_USER+1; everything else
// (messages, timers, arrivals, removals, DFU statuses, all fields) runs on the dialog's thread.
class CKavrinDFUDlg : public devio::Subscriber<devio::IDeviceManager::RunLoopEvent>,
                      public devio::Subscriber<devio::IDeviceManager::ArrivalRemoval>,
                      public devio::Subscriber<devio::IFeature00d0DFU::Report> {
 public:
  // Window messages the workflow posts to itself.
  static constexpr unsigned WM_RUNLOOP = 0x0400 + 1;    // one call_event_from_runloop
  static constexpr unsigned WM_SETSTATE = 0x0400 + 2;   // SetState(wParam)

  static constexpr std::uint32_t RetryTimerId = 0xABBABABE;
  static constexpr unsigned RetryTimerMs = 2000;
  static constexpr std::uint32_t WatchdogTimerId = 0xDEADBEEF;
  static constexpr unsigned WatchdogTimerMs = 5000;
  // How long a keyboard that accepted its image may take to come back from its restart.
  static constexpr std::uint32_t ReturnTimerId = 0xB007B007;
  static constexpr unsigned ReturnTimerMs = 30000;
  // Times the keyboard is asked to start in update mode before the tool gives up on it.
  static constexpr int MaxArmRounds = 3;

  // Controls of the dialog template.
  static constexpr int IDC_PROGRESS = 1000;
  static constexpr int IDC_DESCRIPTION = 1001;
  static constexpr int IDC_RELEASE_NOTES = 1002;
  static constexpr int IDC_NOTES_HEADING = 1003;
  static constexpr int IDC_INSTRUCTIONS = 1004;
  static constexpr int IDC_CLOSE = 1005;
  static constexpr int IDC_DESCRIPTION2 = 1006;
  static constexpr int IDC_PRODUCT_ICON = 1007;

  // Product ids of the two variants in both modes.
  static constexpr int PidNormalFirst = 0x6E21;
  static constexpr int PidNormalSecond = 0x6E29;
  static constexpr int PidUpdateFirst = 0x9D14;
  static constexpr int PidUpdateSecond = 0x9D1C;

  // The settings key holding a stored copy of the profile backup.
  static constexpr const char* SettingsKey = "Software\\Norvale\\Kavrin Firmware Update v12";
  static constexpr std::uint32_t ProfileBufferSize = 3072;
  static constexpr std::uint32_t SectorSize = 1024;
  static constexpr std::uint32_t BlockSize = 16;

  CKavrinDFUDlg(IDialogHost& host, devio::CDevio& devio, devio::SettingsStore settings = devio::SettingsStore());
  // Leaves the library first: onRunLoopEvent may be running on a library thread meanwhile.
  ~CKavrinDFUDlg() override;
  CKavrinDFUDlg(const CKavrinDFUDlg&) = delete;
  CKavrinDFUDlg& operator=(const CKavrinDFUDlg&) = delete;

  // Subscribes to the library, admits wired devices, fills the static parts of the window and
  // takes the keyboards already present. Returns true (default focus).
  bool OnInitDialog();
  // WM_RUNLOOP and WM_SETSTATE; other messages are ignored.
  void OnMessage(unsigned message, std::uintptr_t wParam);
  // A timer expired; every timer fires once.
  void OnTimer(std::uint32_t id);
  // OK, Cancel, the close box and the Close button: refused silently while a keyboard is held
  // in states 1 to 6, otherwise the dialog ends.
  void OnClose();

  // Read-only observers.
  int state() const { return state_; }
  int retryCount() const { return retryCount_; }
  bool secondVariant() const { return variant_; }
  bool holdsDevice() const { return static_cast<bool>(device_); }
  std::uint32_t bytesSent() const { return static_cast<std::uint32_t>(bytesSent_); }
  std::uint32_t imageSize() const { return imageSize_; }
  std::uint32_t blockCount() const { return blockCount_; }
  int sectorsRead() const { return sectorsRead_; }
  bool lightingBackedUp() const { return lightingBackedUp_; }
  // How often the keyboard has been told to start in update mode (each asks the user to replug).
  int armRounds() const { return armRounds_; }

  // The text of id in the host's language, the variant's version filled in.
  std::string LoadText(unsigned id) const;

  // Library events (the dialog's thread, except onRunLoopEvent).
  void onRunLoopEvent() override;
  void onDeviceArrival(std::shared_ptr<devio::IDevice> device) override;
  void onDeviceRemoval(std::shared_ptr<devio::IDevice> device) override;
  void onDfuStatus(unsigned packet, devio::Bytes payload) override;

 private:
  static constexpr const char* LogTag = "CKavrinDFUDlg";

  // Workflow (CKavrinDFUDlg.cpp).
  void SetState(int state);
  void RefreshTexts();
  void StopTimers();
  void ReleaseDevice();
  void ReportFatalError();
  // Counts a failed try of the transfer; false (and the run ends) once there were too many.
  bool CountRetry();
  void FillReleaseNotes();
  void EnumerateDevices();
  void EnterTransfer();
  void EnterBackup();
  void EnterRestore();

  // Device procedures (CKavrinDFUDlgDevice.cpp).
  template <class I>
  std::shared_ptr<I> FetchFeature(unsigned id);
  void FetchDfu();
  bool LoadFirmware();
  void CheckVersion();
  // The running firmware's version as second number × 65536 + third; empty when unreadable.
  std::optional<std::uint32_t> ReadVersion();
  void ArmUpdateMode();
  // The keyboard came back from an update (or from an interrupted one) in normal mode.
  void FinishUpdate(std::optional<std::uint32_t> version);
  // The update did not take: write back what was backed up, then report the error.
  void FailUpdate();
  bool BackupHeld() const { return sectorsRead_ > 0 || lightingBackedUp_; }
  devio::Bytes ReadBlock(std::uint32_t n) const;
  bool SendNextBlock(unsigned n);
  bool RestoreLighting();
  bool RestoreProfiles();
  bool LoadStoredBackup();
  bool BackupLighting();
  bool BackupProfiles();
  // Once the keyboard is about to lose its firmware, writes the backup to the settings key: should
  // the run end with the keyboard still in update mode, the next run's restore finds it there.
  void StoreBackup();
  void DiscardBackup();

  IDialogHost& host_;
  devio::CDevio& devio_;
  devio::SettingsStore settings_;

  std::shared_ptr<devio::IDevice> device_;
  std::uint32_t imageSize_ = 0;
  const std::uint8_t* imageData_ = nullptr;
  std::uint32_t blockCount_ = 0;
  std::int32_t bytesSent_ = 0;
  std::int32_t sectorsRead_ = 0;
  std::int32_t profileId_ = 0;
  std::int32_t resolutionIndex_ = 0;
  std::vector<std::uint8_t> profileBuffer_;  // empty when no backup is held
  // NV configuration of each logo and DPI LED as read from this keyboard; kept per LED so that
  // LEDs of one type with different settings get their own back.
  struct LightingEntry {
    int index;
    unsigned type;
    int value;
  };
  std::vector<LightingEntry> lightingBackup_;
  bool lightingBackedUp_ = false;  // lightingBackup_ holds a complete read
  std::shared_ptr<devio::IFeature00c1DFUControl> dfuControl_;
  std::shared_ptr<devio::IFeature00d0DFU> dfu_;
  std::int32_t retryCount_ = 0;
  bool variant_ = false;
  int state_ = 0;
  int armRounds_ = 0;
  bool backupStored_ = false;
  bool fatalShown_ = false;
};
