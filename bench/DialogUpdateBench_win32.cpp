// Wall time of the whole simulated update in the real dialog: from starting KavrinDFU-sim.exe
// (keyboard answering at once, replugged at once) to the instructions line of state 7, seen from
// outside the process as a user sees it. The program path comes from the build.
// Run: tools/wine-run build/windows/bench/DialogUpdateBench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/CKavrinDFUDlg.h"
#include "app/CTextTable.h"
#include "tests/support/DialogWindow.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const auto done = CTextTable::LoadText(1032, GetThreadLocale() & 0xFFFF, false);
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    testsupport::DialogWindow window(KZ_SIM_PROGRAM, {L"--replug-delay-ms", L"0"});
    const bool finished = window.waitForDialog() && testsupport::DialogWindow::waitUntil(
        [&] { return window.text(CKavrinDFUDlg::IDC_INSTRUCTIONS) == done; }, std::chrono::minutes(5));
    if (!finished) {
      std::printf("run %d: the update did not reach state 7\n", run + 1);
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::printf("run %d: %.2f s from start to state 7\n", run + 1, seconds.back());
    window.click(CKavrinDFUDlg::IDC_CLOSE);
    window.waitForExit(std::chrono::seconds(30));
  }
  std::ranges::sort(seconds);
  std::printf("DialogUpdate: fastest %.2f s, median %.2f s over %d runs\n", seconds.front(), seconds[seconds.size() / 2],
              runs);
}
