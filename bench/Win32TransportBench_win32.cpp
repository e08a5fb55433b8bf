// Speed of the Windows HID transport against the simulated keyboard over the simulated host,
// under the host (Wine in the cross build). Google Benchmark has no build for this target, so the
// program times its loops itself: the fastest of several runs, and their median.
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

constexpr int kRuns = 9;
constexpr int kExchangesPerRun = 2000;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Microseconds per call of `once` over `count` calls; negative on a failure.
double microsecondsPer(int count, const std::function<bool()>& once) {
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    if (!once()) return -1;
  }
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

// The floor: the endpoint's thread answers every report with itself; this thread writes and
// waits for the answer on the client handle, overlapped, as a channel does.
class PipePingPong {
 public:
  PipePingPong()
      : endpoint_(20, [this](const Bytes& report) { endpoint_.send(report); }),
        written_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        read_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~PipePingPong() {
    endpoint_.sever();
    CloseHandle(endpoint_.clientHandle());
    CloseHandle(written_);
    CloseHandle(read_);
  }

  bool once() {
    const HANDLE client = endpoint_.clientHandle();
    OVERLAPPED in{};
    in.hEvent = read_;
    ResetEvent(read_);
    if (!ReadFile(client, answer_.data(), 20, nullptr, &in) && GetLastError() != ERROR_IO_PENDING) return false;
    OVERLAPPED out{};
    out.hEvent = written_;
    ResetEvent(written_);
    DWORD count = 0;
    if (!WriteFile(client, request_.data(), 20, nullptr, &out) && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(client, &out, &count, TRUE) && GetOverlappedResult(client, &in, &count, TRUE);
  }

 private:
  sim::SimulatedHidEndpoint endpoint_;
  const HANDLE written_;
  const HANDLE read_;
  Bytes request_ = Bytes(20, 0x11);
  Bytes answer_ = Bytes(20);
};

// One synchronous command through the road: the command engine of a Device, the combiner, the
// keyboard's two Win32Device collections, the simulated host, the keyboard.
class RoadExchange {
 public:
  RoadExchange() : bridge_(bus_, host_) {
    keyboard_->plug();
    const auto found = combiner_->devices();
    if (found.size() != 1 || !found[0]->open()) return;
    device_ = std::make_shared<devio::Device>(std::weak_ptr<devio::IDeviceManager>{}, found[0]);
    device_->initDevice(nullptr);
    if (!device_->feature_by_id(0x0020)) return;
    // Root GetFeature(0x0020), never cached.
    request_ = devio::velo::buildRequest(0x00, 0, device_->swid(), {0x00, 0x20});
    ready_ = device_->sendSynchronousCommand(request_, &response_, false, {});
  }
  ~RoadExchange() {
    if (device_) device_->uninitDevice();
  }

  bool ready() const { return ready_; }
  bool once() { return device_->sendSynchronousCommand(request_, &response_, false, {}); }

 private:
  const std::shared_ptr<sim::SimulatedBus> bus_ = sim::SimulatedBus::create();
  const std::shared_ptr<sim::SimulatedWin32System> host_ = std::make_shared<sim::SimulatedWin32System>();
  sim::SimulatedHidBridge bridge_;
  const std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard_ = sim::SimulatedZephelKeyboard::create(bus_, {});
  const std::shared_ptr<devio::Win32Bus> hid_ = devio::Win32Bus::create({}, [host = host_] { return host; });
  const std::shared_ptr<devio::CombinerBus> combiner_ = devio::CombinerBus::create(hid_, {});
  std::shared_ptr<devio::Device> device_;
  Bytes request_;
  Bytes response_;
  bool ready_ = false;
};

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
  // The two are measured in alternating runs, so that both see the same load on the machine; the
  // ratio is taken of the fastest runs, the least disturbed.
  PipePingPong floorRoad;
  RoadExchange road;
  if (!road.ready()) {
    std::printf("exchange  failed to set up\n");
    return 1;
  }
  std::vector<double> floors;
  std::vector<double> exchanges;
  for (int run = 0; run < kRuns; ++run) {
    floors.push_back(microsecondsPer(kExchangesPerRun * 4, [&] { return floorRoad.once(); }));
    exchanges.push_back(microsecondsPer(kExchangesPerRun, [&] { return road.once(); }));
    if (floors.back() < 0 || exchanges.back() < 0) return 1;
  }
  const double floor = *std::min_element(floors.begin(), floors.end());
  const double exchange = *std::min_element(exchanges.begin(), exchanges.end());
  std::printf("floor     %8.1f us per request and answer, fastest run (median %.1f)\n", floor, median(floors));
  std::printf("exchange  %8.1f us per synchronous command, fastest run (median %.1f)\n", exchange, median(exchanges));
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
  const double seconds = *std::min_element(runs.begin(), runs.end());
  std::printf("transfer  %8.3f s for %u blocks, fastest of 3 (median %.3f s), %.1f us per block\n", seconds, blocks,
              median(runs), seconds / blocks * 1e6);
  return 0;
}
