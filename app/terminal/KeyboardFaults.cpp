#include "app/terminal/KeyboardFaults.h"

#include <algorithm>
#include <array>

namespace {

using namespace std::chrono_literals;
using Faults = sim::SimulatedZephelKeyboard::Faults;
using VersionFault = sim::SimulatedZephelKeyboard::VersionFault;

// Faults with one member set.
template <class Member, class Value>
Faults with(Member Faults::*member, Value value) {
  Faults faults;
  faults.*member = value;
  return faults;
}

}  // namespace

std::span<const KeyboardFaults::Named> KeyboardFaults::all() {
  static const std::array<Named, 20> faults{
      Named{"lost-ack", "the acknowledgement of block 1000 is lost once; the watchdog restarts the transfer after 5 s",
            with(&Faults::lostAckAtBlock, Block)},
      Named{"error-status", "block 1000 is refused once; the transfer restarts after 2 s",
            with(&Faults::errorAtBlock, Block)},
      Named{"unplug", "the keyboard vanishes at block 1000 and comes back in update mode; the transfer restarts",
            with(&Faults::unplugAtBlock, Block)},
      Named{"no-answer", "the answer to block 1000 is lost; the library sends it again after 3 s and the update goes on",
            with(&Faults::noAnswerAtBlock, Block)},
      Named{"late-answer", "the answer to block 1000 comes 4 s late; the repeat sent after 3 s is answered, the update goes on",
            with(&Faults::lateAnswerAtBlock, Block)},
      Named{"duplicate-status", "the status of block 1000 is reported twice; the repeat is ignored",
            with(&Faults::duplicateStatusAtBlock, Block)},
      Named{"stale-status", "after block 1000 a status for block 999 arrives; it is ignored",
            with(&Faults::staleStatusAtBlock, Block)},
      Named{"image-rejected", "the image is never accepted; the update fails after three tries",
            with(&Faults::neverAccept, true)},
      Named{"old-version", "the image is accepted, but the keyboard restarts with its old firmware; the settings are "
            "restored and the update fails", with(&Faults::acceptWithoutUpdate, true)},
      Named{"boot-fails", "the image is accepted, but the keyboard comes back in update mode each time; the update fails "
            "after three tries (running the tool again finishes it)", with(&Faults::bootFails, true)},
      Named{"restart-ignored", "the keyboard does not restart after taking the image; the watchdog sends the image again",
            with(&Faults::ignoreRestart, true)},
      Named{"slow-restart", "the keyboard takes 20 s to restart into its new firmware; the update succeeds", {}, 20s},
      Named{"never-returns", "the keyboard does not come back from its restart within 30 s; the update fails (running "
            "the tool again restores the settings)", {}, 60s},
      Named{"no-version", "the new firmware cannot tell its version; the settings are restored and the update fails",
            with(&Faults::versionAfterUpdate, VersionFault::ReadFails)},
      Named{"no-firmware-info", "the new firmware offers no firmware information; the settings are restored and the "
            "update fails", with(&Faults::versionAfterUpdate, VersionFault::NoFirmwareInfo)},
      Named{"no-main-firmware", "the new firmware lists no main firmware entity; the settings are restored and the "
            "update fails", with(&Faults::versionAfterUpdate, VersionFault::NoMainEntity)},
      Named{"no-dfu-control", "the new firmware no longer offers DFU control; the update succeeds",
            with(&Faults::noDfuControlAfterUpdate, true)},
      Named{"dfu-control-fails", "the request to start in update mode is refused; the update fails at once and the "
            "keyboard keeps its firmware", with(&Faults::dfuControlFailures, 1)},
      Named{"dfu-control-ignored", "the first request to start in update mode is ignored; the tool asks for another "
            "replug and the update succeeds", with(&Faults::dfuControlIgnored, 1)},
      Named{"never-update-mode", "the keyboard never starts in update mode; the tool gives up after three replugs",
            with(&Faults::dfuControlIgnored, 1000)},
  };
  return faults;
}

const KeyboardFaults::Named* KeyboardFaults::byName(std::string_view name) {
  const auto faults = all();
  const auto it = std::find_if(faults.begin(), faults.end(), [&](const Named& f) { return f.name == name; });
  return it == faults.end() ? nullptr : &*it;
}

bool KeyboardFaults::apply(std::string_view name, sim::SimulatedZephelKeyboard::Config& config) {
  const Named* fault = byName(name);
  if (!fault) return false;
  config.faults = fault->faults;
  config.restartDelay = fault->restartDelay;
  return true;
}
