// KavrinDFU.exe: the Kavrin Zephel firmware update tool. No arguments.
#include <windows.h>

#include "app/win32/CKavrinDFUApp.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  devio::Vs2003SingletonThreadCleanup guard;
  CKavrinDFUApp app;
  app.InitInstance();
  return app.exitCode();
}
