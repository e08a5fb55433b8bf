#include "app/win32/CWin32DialogHost.h"

#include <commctrl.h>

#include "app/CKavrinDFUDlg.h"
#include "devio/runtime/WideText.h"

namespace {

std::wstring wide(const std::string& text) { return devio::WideText::fromUtf8(text); }

HICON loadIcon(int id, int width, int height) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, 0));
}

}  // namespace

CWin32DialogHost::CWin32DialogHost(CCompanion& companion, std::function<void()> afterDispatch)
    : companion_(companion), afterDispatch_(std::move(afterDispatch)) {}

CWin32DialogHost::~CWin32DialogHost() {
  for (HICON icon : {icon_, smallIcon_, productIcon_}) {
    if (icon) DestroyIcon(icon);
  }
}

CWin32DialogHost::Ending CWin32DialogHost::run(CKavrinDFUDlg& dialog) {
  dialog_ = &dialog;
  icon_ = loadIcon(IDI_WINDOW, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  smallIcon_ = loadIcon(IDI_WINDOW, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DIALOG), nullptr, DialogProc,
                  reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  return ending_;
}

INT_PTR CALLBACK CWin32DialogHost::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<CWin32DialogHost*>(lParam)->window_ = window;
  }
  auto* host = reinterpret_cast<CWin32DialogHost*>(GetWindowLongPtrW(window, DWLP_USER));
  return host ? host->handle(message, wParam, lParam) : FALSE;
}

INT_PTR CWin32DialogHost::handle(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case CKavrinDFUDlg::WM_RUNLOOP:
    case CKavrinDFUDlg::WM_SETSTATE:
      dialog_->OnMessage(message, wParam);
      dispatched();
      return TRUE;
    case WM_TIMER:
      dialog_->OnTimer(static_cast<std::uint32_t>(wParam));
      dispatched();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ||
          (LOWORD(wParam) == CKavrinDFUDlg::IDC_CLOSE && HIWORD(wParam) == BN_CLICKED)) {
        dialog_->OnClose();
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      if (!IsIconic(window_)) return FALSE;
      paintMinimised();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_DESTROY:
      window_ = nullptr;
      if (boldFont_) {
        DeleteObject(boldFont_);
        boldFont_ = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void CWin32DialogHost::OnInitDialog() {
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  companion_.StopCompanion();
  productIcon_ = loadIcon(IDI_PRODUCT, ProductIconSize.cx, ProductIconSize.cy);
  SendDlgItemMessageW(window_, CKavrinDFUDlg::IDC_PRODUCT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(productIcon_), 0);
  dialog_->OnInitDialog();
  SendDlgItemMessageW(window_, CKavrinDFUDlg::IDC_RELEASE_NOTES, LB_SETHORIZONTALEXTENT, ListExtent, 0);
  dispatched();
}

void CWin32DialogHost::paintMinimised() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
}

void CWin32DialogHost::dispatched() {
  if (!window_) return;
  // Posted messages come before painting: while the transfer keeps the queue busy, the window
  // would never repaint what changed.
  UpdateWindow(window_);
  if (afterDispatch_) afterDispatch_();
}

void CWin32DialogHost::setWindowTitle(const std::string& text) { SetWindowTextW(window_, wide(text).c_str()); }

void CWin32DialogHost::setControlText(int control, const std::string& text) {
  SetDlgItemTextW(window_, control, wide(text).c_str());
}

void CWin32DialogHost::showControl(int control, bool visible) { ShowWindow(item(control), visible ? SW_SHOW : SW_HIDE); }

void CWin32DialogHost::setBold(int control) {
  LOGFONTW font{};
  auto current = reinterpret_cast<HFONT>(SendDlgItemMessageW(window_, control, WM_GETFONT, 0, 0));
  if (!current || !GetObjectW(current, sizeof(font), &font)) return;
  font.lfWeight = FW_BOLD;
  if (boldFont_) DeleteObject(boldFont_);
  boldFont_ = CreateFontIndirectW(&font);
  SendDlgItemMessageW(window_, control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), TRUE);
}

void CWin32DialogHost::addListLine(int control, const std::string& text) {
  SendDlgItemMessageW(window_, control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
}

void CWin32DialogHost::setProgressRange(int control, std::uint32_t upper) {
  SendDlgItemMessageW(window_, control, PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
  SendDlgItemMessageW(window_, control, PBM_SETSTEP, 1, 0);
}

void CWin32DialogHost::setProgressPosition(int control, std::uint32_t position) {
  SendDlgItemMessageW(window_, control, PBM_SETPOS, position, 0);
}

std::uint32_t CWin32DialogHost::progressPosition(int control) const {
  return static_cast<std::uint32_t>(SendDlgItemMessageW(window_, control, PBM_GETPOS, 0, 0));
}

void CWin32DialogHost::postMessage(unsigned message, std::uintptr_t wParam) {
  // A window that is gone takes no more messages: the dialog has ended.
  if (HWND window = window_) PostMessageW(window, message, wParam, 0);
}

void CWin32DialogHost::setTimer(std::uint32_t id, unsigned milliseconds) { SetTimer(window_, id, milliseconds, nullptr); }

void CWin32DialogHost::killTimer(std::uint32_t id) { KillTimer(window_, id); }

void CWin32DialogHost::messageBox(const std::string& text) {
  wchar_t title[256] = {};
  GetWindowTextW(window_, title, 256);
  MessageBoxW(window_, wide(text).c_str(), title, MB_OK | MB_ICONERROR);
}

void CWin32DialogHost::setWaitCursor(bool waiting) {
  if (waiting) {
    savedCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  } else {
    SetCursor(savedCursor_);
    savedCursor_ = nullptr;
  }
}

void CWin32DialogHost::quit() {
  // The fatal path: the companion stays ended.
  ending_ = Ending::Quit;
  PostQuitMessage(1);
}

void CWin32DialogHost::endDialog() {
  companion_.RestartIfStopped();
  ending_ = Ending::Closed;
  EndDialog(window_, IDOK);
}

unsigned CWin32DialogHost::languageId() const { return GetThreadLocale() & 0xFFFF; }
