// Speed of the Windows HID transport against the simulated keyboard over the simulated host,
// under the host (Wine in the cross build). Google Benchmark has no build for this target, so the
// program times its loops itself: each figure is the median of several runs.
//   floor:     a bare request and answer of one 20-byte report over the same kind of handle (a
//              message-mode pipe served by SimulatedHidEndpoint) between two threads;
//   exchange:  one synchronous command of the command engine through the combiner and Win32Device
//              to the simulated keyboard and back; ratio = exchange / floor (goal: at most 1.5);
//   transfer:  the whole image (2373 blocks of the first variant) through the update workflow on
//              this road, the keyboard answering at once, from entering state 4 to state 5.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/CKavrinDFUDlg.h"
#include "devio/protocol/Device.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/receivers/CombinerBus.h"
#include "devio/runtime/CDevio.h"
#include "devio/win32/Win32Bus.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedZephelKeyboard.h"
#include "sim/win32/SimulatedHidBridge.h"
#include "sim/win32/SimulatedHidEndpoint.h"
#include "sim/win32/SimulatedWin32System.h"
#include "tests/support/HostRoad.h"
#include "tests/support/TemporarySettingsStore.h"
#include "tests/support/TestDialogHost.h"

namespace {

using Clock = std::chrono::steady_clock;
using devio::Bytes;

constexpr int kRuns = 5;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Microseconds per call of `once`, median of kRuns runs of `count` calls; negative on a failure.
double microsecondsPer(int count, const std::function<bool()>& once) {
  std::vector<double> runs;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
      if (!once()) return -1;
    }
    runs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count);
  }
  return median(runs);
}

// The floor: the endpoint's thread answers every report with itself; this thread writes and
// waits for the answer on the client handle, overlapped, as a channel does.
double floorMicroseconds() {
  std::unique_ptr<sim::SimulatedHidEndpoint> endpoint;
  endpoint = std::make_unique<sim::SimulatedHidEndpoint>(20, [&endpoint](const Bytes& report) { endpoint->send(report); });
  const HANDLE client = endpoint->clientHandle();
  const HANDLE written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE read = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Bytes request(20, 0x11);
  Bytes answer(20);
  const double result = microsecondsPer(20000, [&] {
    OVERLAPPED in{};
    in.hEvent = read;
    ResetEvent(read);
    if (!ReadFile(client, answer.data(), 20, nullptr, &in) && GetLastError() != ERROR_IO_PENDING) return false;
    OVERLAPPED out{};
    out.hEvent = written;
    ResetEvent(written);
    DWORD count = 0;
    if (!WriteFile(client, request.data(), 20, nullptr, &out) && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(client, &out, &count, TRUE) && GetOverlappedResult(client, &in, &count, TRUE);
  });
  CloseHandle(written);
  CloseHandle(read);
  endpoint->sever();
  CloseHandle(client);
  return result;
}

// One synchronous command through the road: the command engine of a Device, the combiner, the
// keyboard's two Win32Device collections, the simulated host, the keyboard.
double exchangeMicroseconds() {
  const auto bus = sim::SimulatedBus::create();
  const auto host = std::make_shared<sim::SimulatedWin32System>();
  sim::SimulatedHidBridge bridge(bus, host);
  const auto keyboard = sim::SimulatedZephelKeyboard::create(bus, {});
  keyboard->plug();
  const auto hid = devio::Win32Bus::create({}, [host] { return host; });
  const auto combiner = devio::CombinerBus::create(hid, {});
  const auto found = combiner->devices();
  if (found.size() != 1 || !found[0]->open()) return -1;
  const auto device = std::make_shared<devio::Device>(std::weak_ptr<devio::IDeviceManager>{}, found[0]);
  device->initDevice(nullptr);
  if (!device->feature_by_id(0x0020)) return -1;
  // Root GetFeature(0x0020), never cached.
  const Bytes request = devio::velo::buildRequest(0x00, 0, device->swid(), {0x00, 0x20});
  Bytes response;
  device->sendSynchronousCommand(request, &response, false, {});
  const double result =
      microsecondsPer(2000, [&] { return device->sendSynchronousCommand(request, &response, false, {}); });
  device->uninitDevice();
  return result;
}

// One whole update on the road; the seconds from entering state 4 to state 5, and the blocks.
bool transfer(double* seconds, unsigned* blocks) {
  devio::CDevio& facade = devio::theDevio();
  facade.reset();
  const auto bus = sim::SimulatedBus::create();
  const auto road = std::make_shared<testsupport::HostRoad>(bus);
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [road](std::shared_ptr<devio::DeviceManager> manager) { return road->topBus(manager); };
  facade.install_hooks(hooks);
  const auto keyboard = sim::SimulatedZephelKeyboard::create(bus, {});
  keyboard->plug();
  bool done = false;
  {
    testsupport::TemporarySettingsStore store;
    testsupport::TestDialogHost dialogHost;
    CKavrinDFUDlg dialog(dialogHost, facade, store.store());
    dialogHost.attach(dialog);
    dialog.OnInitDialog();
    if (dialogHost.pumpUntil([&] { return dialog.state() == 3; })) {
      keyboard->replug();
      Clock::time_point start = Clock::now();
      const bool accepted = dialogHost.pumpUntil(
          [&] {
            if (dialog.state() < 4) start = Clock::now();
            return dialog.state() >= 5;
          },
          std::chrono::minutes(2));
      *seconds = std::chrono::duration<double>(Clock::now() - start).count();
      *blocks = dialog.blockCount();
      done = accepted && dialogHost.pumpUntil([&] { return dialog.state() == 7; });
    }
  }
  facade.reset();
  facade.install_hooks({});
  return done;
}

}  // namespace

int main() {
  const double floor = floorMicroseconds();
  const double exchange = exchangeMicroseconds();
  std::printf("floor     %8.1f us per request and answer (pipe, two threads)\n", floor);
  std::printf("exchange  %8.1f us per synchronous command (engine, combiner, Win32Device, keyboard)\n", exchange);
  if (floor <= 0 || exchange <= 0) return 1;
  std::printf("ratio     %8.2f (goal: at most 1.5)\n", exchange / floor);
  std::vector<double> runs;
  unsigned blocks = 0;
  for (int run = 0; run < 3; ++run) {
    double seconds = 0;
    if (!transfer(&seconds, &blocks)) {
      std::printf("transfer  failed\n");
      return 1;
    }
    runs.push_back(seconds);
  }
  const double seconds = median(runs);
  std::printf("transfer  %8.3f s for %u blocks, %.1f us per block (%.2f floors)\n", seconds, blocks,
              seconds / blocks * 1e6, seconds / blocks * 1e6 / floor);
  return 0;
}
