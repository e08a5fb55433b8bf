#include "app/CKavrinDFUDlg.h"

#include <utility>

#include "app/CTextTable.h"
#include "app/CFirmwareImages.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

CKavrinDFUDlg::CKavrinDFUDlg(IDialogHost& host, devio::CDevio& devio, devio::SettingsStore settings)
    : host_(host), devio_(devio), settings_(std::move(settings)) {}

CKavrinDFUDlg::~CKavrinDFUDlg() {
  Subscriber<devio::IDeviceManager::RunLoopEvent>::unsubscribe_all();
  Subscriber<devio::IDeviceManager::ArrivalRemoval>::unsubscribe_all();
  Subscriber<devio::IFeature00d0DFU::Report>::unsubscribe_all();
}

std::string CKavrinDFUDlg::LoadText(unsigned id) const {
  return CTextTable::LoadText(id, host_.languageId(), variant_);
}

bool CKavrinDFUDlg::OnInitDialog() {
  variant_ = false;
  std::shared_ptr<devio::IDeviceManager> manager = devio_;
  Subscriber<devio::IDeviceManager::RunLoopEvent>::subscribe(manager, devio::Direct, "CKavrinDFUDlg::RunLoopEvent");
  Subscriber<devio::IDeviceManager::ArrivalRemoval>::subscribe(manager, devio::RunLoop);
  devio_.config_set(devio::IDeviceManager::wired_active, true);
  FillReleaseNotes();
  host_.setBold(IDC_INSTRUCTIONS);
  EnumerateDevices();
  return true;
}

void CKavrinDFUDlg::OnMessage(unsigned message, std::uintptr_t wParam) {
  if (message == WM_RUNLOOP) {
    devio_.call_event_from_runloop();
  } else if (message == WM_SETSTATE) {
    SetState(static_cast<int>(wParam));
  }
}

void CKavrinDFUDlg::OnTimer(std::uint32_t id) {
  host_.killTimer(id);
  if (id == ReturnTimerId) {
    // The keyboard accepted its image but did not come back: the tool cannot tell whether it
    // runs its new firmware. Running the tool again finds it in either mode.
    devio::xLog(LogTag, devio::LogError, "CKavrinDFUDlg::OnTimer", "the keyboard did not return from its restart");
    ReportFatalError();
    return;
  }
  // Restart the transfer from the first block.
  if ((id == RetryTimerId || id == WatchdogTimerId) && CountRetry()) host_.postMessage(WM_SETSTATE, 4);
}

bool CKavrinDFUDlg::CountRetry() {
  ++retryCount_;
  bytesSent_ = 0;
  if (retryCount_ <= 2) return true;
  StopTimers();
  ReportFatalError();
  return false;
}

void CKavrinDFUDlg::OnClose() {
  // Closing mid-update would leave the keyboard without working firmware.
  if (device_ && state_ >= 1 && state_ <= 6) return;
  host_.endDialog();
}

void CKavrinDFUDlg::onRunLoopEvent() {
  // Any library thread: touch no field, only wake the dialog's thread.
  host_.postMessage(WM_RUNLOOP, 0);
}

void CKavrinDFUDlg::onDeviceArrival(std::shared_ptr<devio::IDevice> device) {
  if (retryCount_ >= 3) return;
  if (device && !device_) {
    switch (device->pid()) {
      case PidUpdateFirst:
      case PidUpdateSecond:
        variant_ = device->pid() == PidUpdateSecond;
        device_ = std::move(device);
        // A keyboard that was already in update mode (or another variant than the one checked)
        // gets the image of the variant its product id names.
        if (const auto wanted = CFirmwareImages::forVariant(variant_);
            (wanted.empty() || imageData_ != wanted.data()) && !LoadFirmware()) {
          ReportFatalError();
        }
        // Back in update mode after its image was accepted: the new firmware did not start,
        // which is one more failed try.
        if (state_ == 5 && !CountRetry()) break;
        SetState(4);
        break;
      case PidNormalFirst:
      case PidNormalSecond:
        variant_ = device->pid() == PidNormalSecond;
        device_ = std::move(device);
        CheckVersion();
        break;
      default:
        break;
    }
  }
  RefreshTexts();
}

void CKavrinDFUDlg::onDeviceRemoval(std::shared_ptr<devio::IDevice> device) {
  // Only the keyboard being worked on: another device coming and going changes nothing.
  if (!device || device != device_) return;
  const int pid = device->pid();
  int keptState;
  if (pid == PidNormalFirst || pid == PidNormalSecond) {
    keptState = 3;  // the user unplugs to replug in update mode
  } else if (pid == PidUpdateFirst || pid == PidUpdateSecond) {
    keptState = 5;  // the keyboard restarts into its new firmware
  } else {
    return;
  }
  ReleaseDevice();
  StopTimers();
  if (state_ != keptState) {
    SetState(0);
  } else if (state_ == 5) {
    // Restarting into the new firmware: it must come back within a bounded time.
    host_.setTimer(ReturnTimerId, ReturnTimerMs);
  }
}

void CKavrinDFUDlg::SetState(int state) {
  state_ = state;
  switch (state) {
    case 0:
      host_.showControl(IDC_PROGRESS, false);
      host_.setControlText(IDC_INSTRUCTIONS, LoadText(1035));
      break;
    case 2:
      EnterBackup();
      break;
    case 3:
      host_.setControlText(IDC_INSTRUCTIONS, LoadText(1029));
      ArmUpdateMode();
      break;
    case 4:
      EnterTransfer();
      break;
    case 6:
      EnterRestore();
      break;
    case 7:
    case 8:
      host_.setControlText(IDC_INSTRUCTIONS, LoadText(state == 7 ? 1032 : 1036));
      host_.showControl(IDC_CLOSE, true);
      host_.showControl(IDC_PROGRESS, false);
      break;
    default:
      break;
  }
}

void CKavrinDFUDlg::EnterBackup() {
  host_.setControlText(IDC_INSTRUCTIONS, "");
  // BackupProfiles moves on to state 3 itself; without a complete backup the update still runs
  // and the restore writes nothing it did not read.
  if (BackupLighting() && BackupProfiles()) return;
  DiscardBackup();
  SetState(3);
}

void CKavrinDFUDlg::EnterTransfer() {
  StopTimers();
  StoreBackup();
  host_.setProgressPosition(IDC_PROGRESS, 0);
  host_.showControl(IDC_PROGRESS, true);
  host_.setControlText(IDC_INSTRUCTIONS, LoadText(1031));
  if (!dfu_) {
    FetchDfu();
    if (!dfu_) {
      // Without its DFU feature the keyboard cannot take the image: a failed try like any other,
      // so the run never waits here for good.
      host_.setTimer(RetryTimerId, RetryTimerMs);
      return;
    }
    Subscriber<devio::IFeature00d0DFU::Report>::subscribe(dfu_, devio::RunLoop);
  }
  SendNextBlock(0);
}

void CKavrinDFUDlg::EnterRestore() {
  host_.setProgressPosition(IDC_PROGRESS, imageSize_ + ProfileBufferSize);
  host_.showControl(IDC_PROGRESS, true);
  RestoreLighting();
  RestoreProfiles();
  host_.postMessage(WM_SETSTATE, 7);
}

void CKavrinDFUDlg::RefreshTexts() {
  host_.setWindowTitle(LoadText(1024));
  host_.setControlText(IDC_DESCRIPTION, LoadText(1025));
  host_.setControlText(IDC_DESCRIPTION2, LoadText(1030));
  host_.setControlText(IDC_NOTES_HEADING, LoadText(1026));
  host_.setControlText(IDC_CLOSE, LoadText(1033));
}

void CKavrinDFUDlg::StopTimers() {
  bytesSent_ = 0;
  host_.killTimer(RetryTimerId);
  host_.killTimer(WatchdogTimerId);
  host_.killTimer(ReturnTimerId);
}

void CKavrinDFUDlg::ReleaseDevice() {
  // Statuses still queued from this keyboard's DFU feature must not reach a later state.
  if (dfu_) Subscriber<devio::IFeature00d0DFU::Report>::unsubscribe(dfu_);
  device_.reset();
  dfuControl_.reset();
  dfu_.reset();
}

void CKavrinDFUDlg::ReportFatalError() {
  if (!fatalShown_) {
    fatalShown_ = true;
    host_.messageBox(LoadText(1034));
  }
  if (dfu_) dfu_->DFURestart(0);
  host_.quit();
}

void CKavrinDFUDlg::FillReleaseNotes() {
  host_.addListLine(IDC_RELEASE_NOTES, "* " + LoadText(1027));
}

void CKavrinDFUDlg::EnumerateDevices() {
  for (auto& device : devio_.devices()) onDeviceArrival(device);
  if (!device_) SetState(0);
}
