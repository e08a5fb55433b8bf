// kavrin-dfu: the Kavrin Zephel firmware update tool in a terminal. It runs the same update
// workflow as the Windows tool; until this host has a HID transport, the keyboard it can update
// is the built-in simulated one (--simulate).
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "app/CKavrinDFUDlg.h"
#include "app/terminal/EnterKeyWatcher.h"
#include "app/terminal/KeyboardFaults.h"
#include "app/terminal/LocaleLanguage.h"
#include "app/terminal/TerminalDialogHost.h"
#include "app/terminal/TerminalFrontEnd.h"
#include "app/terminal/TerminalOptions.h"
#include "app/terminal/TerminalView.h"
#include "devio/runtime/CDevio.h"
#include "devio/runtime/Vs2003SingletonThreadCleanup.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedZephelKeyboard.h"

namespace {

// Plugs the simulated keyboard into a bus that every device manager from now on starts with.
// Null when the keyboard cannot carry the version asked for.
std::shared_ptr<sim::SimulatedZephelKeyboard> simulateKeyboard(devio::CDevio& devio, const TerminalOptions& options) {
  const bool second = options.variant == 2;
  sim::SimulatedZephelKeyboard::Config config;
  using Variant = sim::SimulatedZephelKeyboard::Variant;
  config.variant = second ? Variant::Second : Variant::First;
  if (!options.fault.empty()) KeyboardFaults::apply(options.fault, config);
  const auto bus = sim::SimulatedBus::create();
  auto keyboard = sim::SimulatedZephelKeyboard::create(bus, config);
  const std::string version = !options.firmwareVersion.empty() ? options.firmwareVersion
                              : second                         ? "371.12.11"
                                                               : "371.3.10";
  if (!keyboard->setVersion(version)) return nullptr;
  devio::DeviceManager::Hooks hooks;
  hooks.topBus = [bus](std::shared_ptr<devio::DeviceManager>) { return std::shared_ptr<devio::IHardwareBus>(bus); };
  devio.install_hooks(hooks);
  keyboard->plug();
  return keyboard;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto parsed = TerminalOptions::parse(args);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    std::cerr << "kavrin-dfu: " << *error << "\n\n" << TerminalOptions::usage();
    return TerminalFrontEnd::BadCommandLine;
  }
  const TerminalOptions& options = std::get<TerminalOptions>(parsed);
  if (options.help) {
    std::cout << TerminalOptions::usage();
    return TerminalFrontEnd::Done;
  }

  // Shuts the library down (joining its threads) before main returns, so that the exit status
  // is this function's own.
  devio::Vs2003SingletonThreadCleanup guard;
  devio::CDevio& devio = devio::theDevio();
  std::shared_ptr<sim::SimulatedZephelKeyboard> keyboard;
  if (options.simulate) {
    keyboard = simulateKeyboard(devio, options);
    if (!keyboard) {
      std::cerr << "kavrin-dfu: the simulated keyboard cannot run firmware version " << options.firmwareVersion << "\n";
      return TerminalFrontEnd::BadCommandLine;
    }
  }

  const bool interactive = isatty(STDIN_FILENO) != 0;
  TerminalView view(std::cout, isatty(STDOUT_FILENO) != 0);
  TerminalDialogHost host(view, options.languageId.value_or(LocaleLanguage::fromEnvironment()));
  CKavrinDFUDlg dialog(host, devio);
  TerminalFrontEnd frontEnd(dialog, host, view, options, keyboard, interactive);
  std::optional<EnterKeyWatcher> enterKey;
  if (interactive) enterKey.emplace(STDIN_FILENO, [&host] { host.postMessage(TerminalFrontEnd::WM_ENTER, 0); });
  return frontEnd.exitStatus(host.run(frontEnd));
}
