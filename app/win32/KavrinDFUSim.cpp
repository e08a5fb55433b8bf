// KavrinDFU-sim.exe: the update tool over a simulated host with a built-in simulated keyboard,
// which is unplugged and plugged back in for the user whenever the dialog asks for it. For
// trying the tool and testing its window under Wine; the shipped KavrinDFU.exe has none of it.
//
// Options: --second-variant, --current-firmware (the no-update path), --no-keyboard,
//          --latency-us N (per report and direction), --replug-delay-ms N (default 1500).
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

#include "app/CKavrinDFUDlg.h"
#include "app/win32/CKavrinDFUApp.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/DeviceManager.h"
#include "devio/runtime/SettingsStore.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "devio/win32/Win32Bus.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedZephelKeyboard.h"
#include "sim/win32/SimulatedHidBridge.h"
#include "sim/win32/SimulatedWin32System.h"

namespace {

struct Options {
  bool secondVariant = false;
  bool currentFirmware = false;
  bool keyboard = true;
  std::chrono::microseconds latency{0};
  std::chrono::milliseconds replugDelay{1500};
};

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--second-variant") options.secondVariant = true;
    else if (arg == "--current-firmware") options.currentFirmware = true;
    else if (arg == "--no-keyboard") options.keyboard = false;
    else if (arg == "--latency-us" && hasValue) options.latency = std::chrono::microseconds(std::atoi(argv[++i]));
    else if (arg == "--replug-delay-ms" && hasValue) options.replugDelay = std::chrono::milliseconds(std::atoi(argv[++i]));
  }
  return options;
}

// The user's hand: replugs the keyboard, after a pause, each time the dialog asks anew.
class Replugger {
 public:
  Replugger(std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard, std::chrono::milliseconds delay)
      : keyboard_(std::move(keyboard)), delay_(delay) {}

  void watch(const CKavrinDFUDlg& dialog) {
    if (!keyboard_ || dialog.state() != 3 || dialog.armRounds() == answeredRounds_) return;
    answeredRounds_ = dialog.armRounds();
    hand_ = std::jthread([keyboard = keyboard_, delay = delay_](std::stop_token stop) {
      std::this_thread::sleep_for(delay);
      if (!stop.stop_requested()) keyboard->replug();
    });
  }

 private:
  std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard_;
  const std::chrono::milliseconds delay_;
  int answeredRounds_ = 0;
  std::jthread hand_;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  // The simulated keyboard is new in every run: a backup stored by an earlier run that ended
  // mid-transfer belongs to no keyboard here, and its restore would report an update.
  devio::SettingsStore().deleteValue(CKavrinDFUDlg::SettingsKey, "ProfileData");
  const auto system = std::make_shared<sim::SimulatedWin32System>();
  const auto bus = sim::SimulatedBus::create();
  sim::SimulatedHidBridge bridge(bus, system);
  sim::SimulatedZephelKeyboard::Config config;
  config.variant = options.secondVariant ? sim::SimulatedZephelKeyboard::Variant::Second
                                         : sim::SimulatedZephelKeyboard::Variant::First;
  config.version = options.currentFirmware ? (options.secondVariant ? "371.12.12" : "371.3.11")
                                           : (options.secondVariant ? "371.12.11" : "371.3.10");
  config.latency = options.latency;
  const auto keyboard = sim::SimulatedZephelKeyboard::create(bus, config);
  Replugger replugger(options.keyboard ? keyboard : nullptr, options.replugDelay);

  // The library's threads end before the simulated host they use.
  devio::Vs2003SingletonThreadCleanup guard;
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [system](std::shared_ptr<devio::DeviceManager> manager) {
    return devio::Win32Bus::create(manager, [system] { return system; });
  };
  devio::theDevio().install_hooks(hooks);
  if (options.keyboard) keyboard->plug();

  CKavrinDFUApp app([&](const CKavrinDFUDlg& dialog) { replugger.watch(dialog); });
  app.InitInstance();
  return app.exitCode();
}
