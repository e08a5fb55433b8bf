// The whole firmware transfer through the update workflow against the simulated keyboard, from
// entering the transfer (state 4) to the image being accepted (state 5): 2373 blocks of the first
// variant's image, each sent on the acknowledgement of the previous one.
//   latency 0:    the keyboard answers at once; the time per block is the software's overhead
//                 (workflow, run-loop hand-off, command engine, channel threads).
//   latency 1000: every report takes 1 ms in each direction, so a block cannot take less than
//                 2 ms; floor_ratio = total time / (2 ms x blocks), the goal being at most 1.10.
// BM_LinkFloor is what the simulated link itself costs per block on this machine: one report
// written through a SimulatedChannel with the same latency and answered at once by a bare peer,
// the timed waits of the simulation and the thread hand-offs but no protocol and no workflow.
// link_ratio = its time / the 2 ms floor; what BM_Transfer adds beyond it is the software's.
// The simulated latency is made of timed waits, and the kernel lets each of them overrun by its
// timer slack (50 us by default); the program asks for the smallest slack so that the link costs
// what it models.
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/CKavrinDFUDlg.h"
#include "app/IDialogHost.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/IHardwareDevice.h"
#include "devio/runtime/Subscriber.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedPeer.h"
#include "sim/SimulatedZephelKeyboard.h"

namespace {

using Clock = std::chrono::steady_clock;

// A window without a screen: posted messages are dispatched on the benchmark's thread, timers
// are not needed by a transfer without faults and never fire.
class HeadlessHost final : public IDialogHost {
 public:
  void attach(CKavrinDFUDlg& dialog) { dialog_ = &dialog; }

  // Dispatches posted messages until done() holds after one; false after a minute without it.
  bool pumpUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    while (!done()) {
      if (!posted_.wait_for(lock, std::chrono::minutes(1), [this] { return !queue_.empty(); })) return false;
      const auto [message, wParam] = queue_.front();
      queue_.pop_front();
      lock.unlock();
      dialog_->OnMessage(message, wParam);
      lock.lock();
    }
    return true;
  }

  void setWindowTitle(const std::string&) override {}
  void setControlText(int, const std::string&) override {}
  void showControl(int, bool) override {}
  void setBold(int) override {}
  void addListLine(int, const std::string&) override {}
  void setProgressRange(int, std::uint32_t upper) override { upper_ = upper; }
  void setProgressPosition(int, std::uint32_t position) override { position_ = std::min(position, upper_); }
  std::uint32_t progressPosition(int) const override { return position_; }
  void postMessage(unsigned message, std::uintptr_t wParam) override {
    {
      std::lock_guard lock(mutex_);
      queue_.emplace_back(message, wParam);
    }
    posted_.notify_one();
  }
  void setTimer(std::uint32_t, unsigned) override {}
  void killTimer(std::uint32_t) override {}
  void messageBox(const std::string&) override {}
  void quit() override {}
  void endDialog() override {}
  unsigned languageId() const override { return 1033; }

 private:
  CKavrinDFUDlg* dialog_ = nullptr;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::pair<unsigned, std::uintptr_t>> queue_;
  std::uint32_t upper_ = 100;
  std::uint32_t position_ = 0;
};

// One update; answers the time from entering state 4 to reaching state 5, and the block count.
std::optional<std::pair<Clock::duration, std::uint32_t>> transfer(std::chrono::microseconds latency) {
  devio::CDevio& devio = devio::theDevio();
  devio.reset();
  const auto bus = sim::SimulatedBus::create();
  sim::SimulatedZephelKeyboard::Config config;
  config.latency = latency;
  const auto keyboard = sim::SimulatedZephelKeyboard::create(bus, config);
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [bus](std::shared_ptr<devio::DeviceManager>) { return std::shared_ptr<devio::IHardwareBus>(bus); };
  devio.install_hooks(hooks);
  keyboard->plug();

  std::optional<std::pair<Clock::duration, std::uint32_t>> result;
  {
    HeadlessHost host;
    CKavrinDFUDlg dialog(host, devio);
    host.attach(dialog);
    dialog.OnInitDialog();
    if (host.pumpUntil([&] { return dialog.state() == 3; })) {
      keyboard->replug();
      // The transfer begins inside the dispatch that enters state 4 (the update-mode arrival):
      // everything from the message before it on counts.
      Clock::time_point start = Clock::now();
      const bool accepted = host.pumpUntil([&] {
        if (dialog.state() < 4) start = Clock::now();
        return dialog.state() >= 5;
      });
      const Clock::duration elapsed = Clock::now() - start;
      // Let the keyboard come back and the workflow finish before everything is torn down.
      if (accepted && host.pumpUntil([&] { return dialog.state() == 7; })) {
        result.emplace(elapsed, dialog.blockCount());
      }
    }
  }
  devio.reset();
  return result;
}

void BM_Transfer(benchmark::State& state) {
  const std::chrono::microseconds latency(state.range(0));
  std::uint32_t blocks = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto run = transfer(latency);
    if (!run) {
      state.SkipWithError("the update did not complete");
      return;
    }
    const double runSeconds = std::chrono::duration<double>(run->first).count();
    state.SetIterationTime(runSeconds);
    seconds += runSeconds;
    blocks = run->second;
  }
  const double perRun = seconds / static_cast<double>(state.iterations());
  state.counters["blocks"] = blocks;
  state.counters["per_block_us"] = perRun / blocks * 1e6;
  if (latency.count() > 0) {
    const double floor = 2.0 * std::chrono::duration<double>(latency).count() * blocks;
    state.counters["floor_s"] = floor;
    state.counters["floor_ratio"] = perRun / floor;
  }
}
BENCHMARK(BM_Transfer)->Arg(0)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Transfer)->Arg(1000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// Answers every report at once with the same report; counts the answers the host has read.
class EchoLink final : public sim::SimulatedPeer, public devio::Subscriber<devio::IHardwareDevice::Read> {
 public:
  explicit EchoLink(std::chrono::microseconds latency) {
    sim::SimulatedChannel::Config config;
    config.latency = latency;
    channel_ = sim::SimulatedChannel::create(config);
    bus_->plug(channel_);
  }

  bool start(const std::shared_ptr<EchoLink>& self) {
    channel_->setPeer(self);
    return subscribe(channel_, devio::Direct);
  }
  void stop() {
    unsubscribe(channel_);
    channel_->setPeer(nullptr);
  }

  // One report there and its answer back.
  bool exchange(const devio::Bytes& report) {
    const int before = answered();
    if (!channel_->write(report, true)) return false;
    std::unique_lock lock(mutex_);
    return read_.wait_for(lock, std::chrono::seconds(10), [&] { return answers_ > before; });
  }

  void onHostWrite(const devio::Bytes& report) override { channel_->deliver(report); }
  void onRead(devio::Bytes report, bool, unsigned, unsigned) override {
    if (report.empty()) return;
    {
      std::lock_guard lock(mutex_);
      ++answers_;
    }
    read_.notify_all();
  }

 private:
  int answered() {
    std::lock_guard lock(mutex_);
    return answers_;
  }

  const std::shared_ptr<sim::SimulatedBus> bus_ = sim::SimulatedBus::create();
  std::shared_ptr<sim::SimulatedChannel> channel_;
  std::mutex mutex_;
  std::condition_variable read_;
  int answers_ = 0;
};

void BM_LinkFloor(benchmark::State& state) {
  const std::chrono::microseconds latency(state.range(0));
  constexpr int kBlocks = 2373;
  const auto link = std::make_shared<EchoLink>(latency);
  if (!link->start(link)) {
    state.SkipWithError("the channel did not start reading");
    return;
  }
  const devio::Bytes report(20, 0x11);
  double seconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (int block = 0; block < kBlocks; ++block) {
      if (!link->exchange(report)) {
        state.SkipWithError("no answer");
        break;
      }
    }
    const double runSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(runSeconds);
    seconds += runSeconds;
  }
  link->stop();
  const double perRun = seconds / static_cast<double>(state.iterations());
  state.counters["per_block_us"] = perRun / kBlocks * 1e6;
  state.counters["link_ratio"] = perRun / (2.0 * std::chrono::duration<double>(latency).count() * kBlocks);
}
BENCHMARK(BM_LinkFloor)->Arg(1000)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Inherited by every thread started from now on: the channels' readers and the keyboard's.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
