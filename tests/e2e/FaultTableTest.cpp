// The update against a keyboard that misbehaves as real ones do, one fault (or a mix) per row,
// with everything on one virtual clock: the library's command time-outs and timers, the dialog's
// timers, the keyboard's restarts and late answers, and the user who replugs when asked. Every
// row ends in one of two screens, within a bounded time: the keyboard updated with its settings
// kept, or text 1034 with the keyboard left so that running the tool again updates it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CFirmwareImages.h"
#include "app/CKavrinDFUDlg.h"
#include "app/CTextTable.h"
#include "devio/runtime/CDevio.h"
#include "sim/ManualClock.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedZephelKeyboard.h"
#include "sim/VirtualTime.h"
#include "tests/support/TemporarySettingsStore.h"
#include "tests/support/TestDialogHost.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using Keyboard = sim::SimulatedZephelKeyboard;
using Faults = Keyboard::Faults;

constexpr unsigned LastBlock = 2372;  // of the first variant's image
// Longer than any sound run, so that a row that waits for good fails instead of hanging.
constexpr auto VirtualBound = std::chrono::milliseconds(15min);

enum class Outcome { Updated, Error };
// Where the fault strikes: when the dialog is about to send this block, when the keyboard
// accepted the image (state 5), or when the keyboard is first asked to start in update mode
// (state 3).
enum class Strike { Block, Accepted, Armed };

struct FaultRow {
  const char* name;
  std::function<void(Keyboard::Config&)> setUp;
  Outcome outcome;
  Strike strike;
  unsigned block = 0;
  // After the strike the user unplugs the keyboard, and plugs it back in two seconds later.
  bool replugAtStrike = false;
  // At the strike another keyboard is plugged in, and unplugged a second later.
  bool otherDeviceAtStrike = false;
  // How many transfers the keyboard saw (DFUStart), and how many timer expiries the dialog
  // counted as retries; -1: not checked.
  int transfers = -1;
  int retries = -1;
};

Faults at(std::optional<unsigned> Faults::*fault, unsigned block) {
  Faults faults;
  faults.*fault = block;
  return faults;
}

std::function<void(Keyboard::Config&)> withFaults(Faults faults) {
  return [faults](Keyboard::Config& config) { config.faults = faults; };
}

template <class Member, class Value>
std::function<void(Keyboard::Config&)> with(Member Faults::*member, Value value) {
  return [member, value](Keyboard::Config& config) { config.faults.*member = value; };
}

// Settings the keyboard holds before the update, and that the update must not lose.
Keyboard::Settings userSettings() {
  auto settings = Keyboard::factorySettings();
  settings.sectors[1].assign(Keyboard::SectorSize, 0xA5);
  settings.activeProfile = 3;
  settings.resolutionIndex = 4;
  // Both DPI LEDs alike: a copy stored across runs keeps one value per LED type.
  settings.ledNvConfigs = {1, 3, 3};
  return settings;
}

std::string text(unsigned id) { return CTextTable::LoadText(id, 1033, false); }

class FaultTableTest : public ::testing::TestWithParam<FaultRow> {
 protected:
  void SetUp() override {
    facade.reset();
    devio::DeviceManager::Hooks hooks;
    hooks.topBus = [bus = bus](std::shared_ptr<devio::DeviceManager>) -> std::shared_ptr<devio::IHardwareBus> {
      return bus;
    };
    hooks.clock = clock;
    facade.install_hooks(hooks);
  }

  void TearDown() override {
    closeTool();
    other.reset();
    keyboard.reset();
    facade.install_hooks({});
  }

  std::shared_ptr<Keyboard> makeKeyboard(Keyboard::Variant variant, const std::string& version,
                                         const std::function<void(Keyboard::Config&)>& setUp = {}) {
    Keyboard::Config config;
    config.variant = variant;
    config.version = version;
    config.clock = clock;
    config.restartDelay = 3s;  // a real keyboard takes seconds to start its new firmware
    if (setUp) setUp(config);
    auto made = Keyboard::create(bus, config);
    const std::weak_ptr<Keyboard> weak = made;
    vt.watch(
        [weak] {
          const auto k = weak.lock();
          return !k || k->idle();
        },
        [weak] {
          const auto k = weak.lock();
          return k ? k->requestCount() : 0;
        });
    return made;
  }

  // One run of the tool, as a user would run it: started with the keyboard plugged in, replugging
  // it whenever asked to (or when it vanished), until the result shows. Answers whether a result
  // showed within the bound.
  bool runTool(const FaultRow* row) {
    userBusy = false;
    replugRounds = 0;
    host = std::make_unique<testsupport::TestDialogHost>(1033, clock);
    dlg = std::make_unique<CKavrinDFUDlg>(*host, facade, store.store());
    host->attach(*dlg);
    vt.watch([this] { return !host || host->dialogWaiting(); });
    return vt.run([&] {
      host->bindDialogThread();
      dlg->OnInitDialog();
      return host->runUntil(
          [&] {
            if (row) watchStrike(*row);
            actAsUser();
            const bool shown = host->quitCalled() || dlg->state() == 7 || dlg->state() == 8;
            if (shown && !resultAt) resultAt = clock->now();
            return shown;
          },
          VirtualBound);
    });
  }

  void closeTool() {
    dlg.reset();
    host.reset();
    facade.reset();
  }

  // The user: replugs the keyboard two seconds after being asked to, and plugs it back in when
  // it is gone while the dialog waits for it.
  void actAsUser() {
    if (userBusy) return;
    const bool askedToReplug = dlg->state() == 3 && keyboard->plugged() && dlg->armRounds() != replugRounds;
    const bool waiting = dlg->state() == 0 && !keyboard->plugged();
    if (!askedToReplug && !waiting) return;
    replugRounds = dlg->armRounds();
    userBusy = true;
    const auto now = clock->now();
    if (askedToReplug) clock->at(now + 2s, [k = keyboard] { k->unplug(); });
    clock->at(now + 4s, [this, k = keyboard] {
      k->plug();
      userBusy = false;
    });
  }

  void watchStrike(const FaultRow& row) {
    if (!wiped && dlg->state() == 4) {
      // As far as the restore can tell, the update reset the keyboard's settings.
      keyboard->setSettings(Keyboard::factorySettings());
      wiped = true;
    }
    if (struckAt) return;
    const bool struck = row.strike == Strike::Block    ? dlg->state() == 4 && dlg->bytesSent() >= row.block * 16
                        : row.strike == Strike::Accepted ? dlg->state() == 5
                                                         : dlg->state() == 3;
    if (!struck) return;
    struckAt = clock->now();
    if (row.replugAtStrike) {
      userBusy = true;
      clock->at(*struckAt + 1s, [k = keyboard] { k->unplug(); });
      clock->at(*struckAt + 3s, [this, k = keyboard] {
        k->plug();
        userBusy = false;
      });
    }
    if (row.otherDeviceAtStrike) {
      other->plug();
      clock->at(*struckAt + 1s, [o = other] { o->unplug(); });
    }
  }

  long long waitedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(*resultAt - *struckAt).count();
  }

  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  sim::VirtualTime vt{clock, std::chrono::minutes(3)};
  devio::CDevio& facade = devio::theDevio();
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  testsupport::TemporarySettingsStore store;
  std::shared_ptr<Keyboard> keyboard;
  std::shared_ptr<Keyboard> other;
  std::unique_ptr<testsupport::TestDialogHost> host;
  std::unique_ptr<CKavrinDFUDlg> dlg;

  // Set on the dialog's thread, cleared by the user's actions on the thread that moves the clock.
  std::atomic<bool> userBusy{false};
  int replugRounds = 0;
  bool wiped = false;
  std::optional<devio::Clock::time_point> struckAt;
  std::optional<devio::Clock::time_point> resultAt;
};

TEST_P(FaultTableTest, EndsUpdatedOrInTheErrorTextWithinBoundedTime) {
  const FaultRow& row = GetParam();
  keyboard = makeKeyboard(Keyboard::Variant::First, "371.3.10", row.setUp);
  keyboard->setSettings(userSettings());
  if (row.otherDeviceAtStrike) other = makeKeyboard(Keyboard::Variant::Second, "371.12.12");
  keyboard->plug();

  ASSERT_TRUE(runTool(&row)) << "no result after " << VirtualBound.count() << " ms; state " << dlg->state();
  ASSERT_TRUE(struckAt) << "the fault never struck";
  std::printf("[fault table] %-44s %-8s %8lld ms\n", row.name, row.outcome == Outcome::Updated ? "updated" : "error",
              waitedMs());

  if (row.transfers >= 0) {
    EXPECT_EQ(keyboard->dfuStarts(), row.transfers);
  }
  if (row.retries >= 0) {
    EXPECT_EQ(dlg->retryCount(), row.retries);
  }
  if (row.outcome == Outcome::Updated) {
    EXPECT_EQ(dlg->state(), 7);
    EXPECT_EQ(host->instructionHistory().back(), text(1032));
    EXPECT_TRUE(host->messageBoxes().empty());
  } else {
    EXPECT_EQ(host->messageBoxes(), std::vector<std::string>{text(1034)});
    EXPECT_TRUE(host->quitCalled());
    EXPECT_NE(host->instructionHistory().back(), text(1032));
    // Running the tool again, on a keyboard that now behaves (replugged, so that its firmware
    // starts afresh), finishes the update.
    closeTool();
    keyboard->setFaults({});
    if (keyboard->plugged()) keyboard->replug();
    struckAt.reset();
    resultAt.reset();
    ASSERT_TRUE(runTool(nullptr)) << "the second run showed no result; state " << dlg->state() << ", instructions "
                                 << host->instructionHistory().back();
    // Updated now, or found updated by the first run with its settings already back.
    EXPECT_TRUE(dlg->state() == 7 || dlg->state() == 8) << "state " << dlg->state();
    EXPECT_TRUE(host->messageBoxes().empty());
  }
  // Never success with old firmware, never lost settings.
  EXPECT_EQ(keyboard->mode(), Keyboard::Mode::Normal);
  EXPECT_EQ(keyboard->version(), "371.3.11");
  EXPECT_EQ(keyboard->settings(), userSettings());
}

const FaultRow rows[] = {
    // The transfer: each of these the tool rides out.
    {"lost response to a data packet", withFaults(at(&Faults::noAnswerAtBlock, 1000)), Outcome::Updated,
     Strike::Block, 1000, false, false, 1, 0},
    {"late response to a data packet", withFaults(at(&Faults::lateAnswerAtBlock, 1000)), Outcome::Updated,
     Strike::Block, 1000, false, false, 1, 0},
    {"duplicate status", withFaults(at(&Faults::duplicateStatusAtBlock, 1000)), Outcome::Updated, Strike::Block, 1000,
     false, false, 1, 0},
    {"stale status", withFaults(at(&Faults::staleStatusAtBlock, 1000)), Outcome::Updated, Strike::Block, 1000, false,
     false, 1, 0},
    {"lost acknowledgement (watchdog)", withFaults(at(&Faults::lostAckAtBlock, 1000)), Outcome::Updated,
     Strike::Block, 1000, false, false, 2, 1},
    {"error status (retry timer)", withFaults(at(&Faults::errorAtBlock, 1000)), Outcome::Updated, Strike::Block, 1000,
     false, false, 2, 1},
    {"keyboard vanishes mid-transfer", withFaults(at(&Faults::unplugAtBlock, 1000)), Outcome::Updated, Strike::Block,
     1000},
    {"mixed: lost, duplicate, stale, late",
     [](Keyboard::Config& config) {
       config.faults.noAnswerAtBlock = 10;
       config.faults.duplicateStatusAtBlock = 500;
       config.faults.staleStatusAtBlock = 501;
       config.faults.lateAnswerAtBlock = 2000;
     },
     Outcome::Updated, Strike::Block, 10},
    {"another device removed mid-transfer", {}, Outcome::Updated, Strike::Block, 1000, false, true, 1, 0},
    {"last block taken, answer lost, replugged", withFaults(at(&Faults::noAnswerAtBlock, LastBlock)), Outcome::Updated,
     Strike::Block, LastBlock, true},
    // After the image: the keyboard must come back with its new firmware.
    {"restart ignored (last watchdog)", with(&Faults::ignoreRestart, true), Outcome::Updated, Strike::Accepted, 0,
     false, false, 2, 1},
    {"slow restart (20 s)", [](Keyboard::Config& config) { config.restartDelay = 20s; }, Outcome::Updated,
     Strike::Accepted},
    {"new firmware without DFU control", with(&Faults::noDfuControlAfterUpdate, true), Outcome::Updated,
     Strike::Accepted},
    {"accepted, back with the old version", with(&Faults::acceptWithoutUpdate, true), Outcome::Error,
     Strike::Accepted},
    {"accepted, back in update mode", with(&Faults::bootFails, true), Outcome::Error, Strike::Accepted, 0, false,
     false, 3, 3},
    {"image never accepted", with(&Faults::neverAccept, true), Outcome::Error, Strike::Block, LastBlock, false, false,
     3, 3},
    {"never returns from the restart", [](Keyboard::Config& config) { config.restartDelay = 10min; }, Outcome::Error,
     Strike::Accepted},
    {"version unreadable: no 0x0003", with(&Faults::versionAfterUpdate, Keyboard::VersionFault::NoFirmwareInfo),
     Outcome::Error, Strike::Accepted},
    {"version unreadable: read fails", with(&Faults::versionAfterUpdate, Keyboard::VersionFault::ReadFails),
     Outcome::Error, Strike::Accepted},
    {"version unreadable: no main firmware", with(&Faults::versionAfterUpdate, Keyboard::VersionFault::NoMainEntity),
     Outcome::Error, Strike::Accepted},
    // Update mode: asked for, and not taken.
    {"SetDfuControl fails", with(&Faults::dfuControlFailures, 1), Outcome::Error, Strike::Armed, 0, false, false, 0},
    {"SetDfuControl ignored once", with(&Faults::dfuControlIgnored, 1), Outcome::Updated, Strike::Armed},
    {"SetDfuControl always ignored", with(&Faults::dfuControlIgnored, 100), Outcome::Error, Strike::Armed},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultTableTest, ::testing::ValuesIn(rows), [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.name)) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name;
});

}  // namespace
}  // namespace e2e
