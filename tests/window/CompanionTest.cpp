#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/CKavrinDFUDlg.h"
#include "devio/runtime/SettingsStore.h"
#include "devio/runtime/WideText.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/DialogWindow.h"

namespace {

using namespace std::chrono_literals;
using testsupport::DialogWindow;

constexpr const char* kPathValue = "VantrelPath";

std::string companionLog(const std::filesystem::path& dir) {
  std::ifstream in(dir / "companion.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The running processes of this image name, ignoring case.
int running(const wchar_t* imageName) {
  int count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, imageName) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

void endAll(const wchar_t* imageName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, imageName) != 0) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
}

// Starts the stand-in companion from a directory of its own under the name given.
class CompanionTest : public testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    program = dir.path() / GetParam();
    std::filesystem::copy_file(KZ_VANTREL_PROGRAM, program);
    settings.deleteValue(CKavrinDFUDlg::SettingsKey, kPathValue);
  }
  void TearDown() override { endAll(L"Vantrel.exe"); }

  void startCompanion() {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &started));
    companion = started.hProcess;
    CloseHandle(started.hThread);
    ASSERT_TRUE(DialogWindow::waitUntil([&] { return companionLog(dir.path()) == "started\n"; }, 30s));
  }

  testsupport::TemporaryDirectory dir;
  std::filesystem::path program;
  devio::SettingsStore settings;
  HANDLE companion = nullptr;
};

TEST_P(CompanionTest, IsSignalledEndedStoredAndStartedAgainAtClose) {
  startCompanion();
  DialogWindow window(KZ_SIM_PROGRAM, {L"--no-keyboard"});
  ASSERT_TRUE(window.waitForDialog());
  // The dialog shows only after the companion was asked to end and then ended.
  EXPECT_EQ(companionLog(dir.path()), "started\nshutdown requested\n");
  ASSERT_EQ(WaitForSingleObject(companion, 0), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(companion, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(companion);
  const auto stored = settings.readString(CKavrinDFUDlg::SettingsKey, kPathValue);
  ASSERT_TRUE(stored);
  EXPECT_TRUE(std::filesystem::equivalent(devio::WideText::fromUtf8(*stored), program)) << *stored;

  window.closeBox();
  EXPECT_EQ(window.waitForExit(30s), 0u);
  EXPECT_TRUE(DialogWindow::waitUntil(
      [&] { return companionLog(dir.path()) == "started\nshutdown requested\nstarted\n"; }, 30s))
      << companionLog(dir.path());
}

INSTANTIATE_TEST_SUITE_P(ImageNames, CompanionTest, testing::Values(L"Vantrel.exe", L"VANTREL.EXE"));

TEST(Companion, NotRunningNothingIsEndedOrStartedAndAnOlderPathStays) {
  const devio::SettingsStore settings;
  ASSERT_TRUE(settings.writeString(CKavrinDFUDlg::SettingsKey, kPathValue, "C:\\older\\Vantrel.exe"));
  ASSERT_EQ(running(L"Vantrel.exe"), 0);
  DialogWindow window(KZ_SIM_PROGRAM, {L"--no-keyboard"});
  ASSERT_TRUE(window.waitForDialog());
  window.closeBox();
  EXPECT_EQ(window.waitForExit(30s), 0u);
  EXPECT_EQ(settings.readString(CKavrinDFUDlg::SettingsKey, kPathValue), "C:\\older\\Vantrel.exe");
  EXPECT_EQ(running(L"Vantrel.exe"), 0);
  settings.deleteValue(CKavrinDFUDlg::SettingsKey, kPathValue);
}

}  // namespace
