// Cost of logging: xLog while logging is off (one flag test); with file output on the
// producer's cost per message and the throughput of four threads; with text output on (to a
// discarding output) the cost of the level test, the tag filter and the text line, alone and
// from four threads. Each runs a Logger of its own on a temporary store and directory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "devio/runtime/Host.h"
#include "devio/runtime/Logger.h"
#include "devio/runtime/XLog.h"

namespace {

namespace fs = std::filesystem;

// A fresh directory removed at exit.
struct ScratchDirectory {
  ScratchDirectory() {
    std::random_device random;
    path = fs::temp_directory_path() / ("xlog-bench-" + std::to_string(random()));
    fs::create_directories(path);
  }
  ~ScratchDirectory() { fs::remove_all(path); }
  fs::path path;
};

ScratchDirectory& scratch() {
  static ScratchDirectory directory;
  return directory;
}

// A logger with the given outputs, started like the process's from a settings store of its own;
// its text outputs discard their lines.
std::unique_ptr<devio::Logger> startLogger(const char* name, unsigned outputs) {
  auto environment = devio::Logger::hostEnvironment();
  environment.store = devio::SettingsStore((scratch().path / name).string());
  environment.store.writeNumber("SOFTWARE\\Norvale\\devio", "logging", 1);
  environment.store.writeNumber("SOFTWARE\\Norvale\\devio", "loggingoutput", outputs);
  environment.temporaryDirectory = (scratch().path / "").string();
  environment.outputs.debugger = [](const char*) {};
  environment.outputs.standard = [](std::string_view, bool) {};
  environment.registerShutdown = {};
  environment.buffer.aboutToJoin = {};
  return devio::Logger::start(environment);
}

// File output only.
devio::Logger& fileLogger() {
  static const std::unique_ptr<devio::Logger> logger = [] {
    auto started = startLogger("file-settings", 4);
    // A first burst grows the buffer to its working size: the benchmarks then measure the steady
    // state, not the one-time growth.
    for (int i = 0; i < 1000000; ++i) started->log("Device", devio::LogDebug, "devio::Device::onRead", "warm-up %d", i);
    started->flush();
    return started;
  }();
  return *logger;
}

void BM_XLogOff(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(devio::xLog("Device", devio::LogDebug, "devio::Device::onRead", "report %d", 17));
  }
}
BENCHMARK(BM_XLogOff);

// Producer side only: formatting and the lock-free reservation; the log thread writes meanwhile.
void BM_XLogFileProducer(benchmark::State& state) {
  devio::Logger& logger = fileLogger();
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(logger.log("Device", devio::LogDebug, "devio::Device::onRead", "report %d", ++i));
  }
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) logger.flush();  // untimed: after the loop
}
// Runs that stay below a third of the grown buffer: no further growth inside the measurement.
BENCHMARK(BM_XLogFileProducer)->Iterations(200000);
BENCHMARK(BM_XLogFileProducer)->Iterations(50000)->Threads(4)->UseRealTime();

// Standard and debugger output, no file: every message passes the level test and the tag filter
// (a tag seen before) and is formatted into its text line.
void BM_XLogText(benchmark::State& state) {
  static const std::unique_ptr<devio::Logger> logger = startLogger("text-settings", 3);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(logger->log("Device", devio::LogDebug, "devio::Device::onRead", "report %d", ++i));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_XLogText);
BENCHMARK(BM_XLogText)->Threads(4)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The process-wide xLog reads the user's store once: point it at an empty one so it is off.
  setenv("XDG_CONFIG_HOME", (scratch().path / "config").c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
