#include "app/win32/CKavrinDFUApp.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/CKavrinDFUDlg.h"
#include "app/win32/CCompanion.h"
#include "app/win32/CWin32DialogHost.h"
#include "devio/runtime/CDevio.h"

bool CKavrinDFUApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                                      ICC_COOL_CLASSES | ICC_INTERNET_CLASSES | ICC_PAGESCROLLER_CLASS |
                                                      ICC_NATIVEFNTCTL_CLASS | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  // The shell's services (starting the companion by its default action) want COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    CCompanion companion;
    CKavrinDFUDlg* running = nullptr;
    CWin32DialogHost host(companion, [&] {
      if (watcher_ && running) watcher_(*running);
    });
    CKavrinDFUDlg dialog(host, devio::theDevio());
    running = &dialog;
    exitCode_ = host.run(dialog) == CWin32DialogHost::Ending::Quit ? 1 : 0;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return false;
}
