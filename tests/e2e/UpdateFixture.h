#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "app/CKavrinDFUDlg.h"
#include "app/CTextTable.h"
#include "devio/runtime/CDevio.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedZephelKeyboard.h"
#include "tests/support/HostRoad.h"
#include "tests/support/TemporarySettingsStore.h"
#include "tests/support/TestDialogHost.h"

namespace e2e {

// The whole tool against the simulated keyboard: the facade's manager on a simulated bus (on
// Windows through the HID transport and the combiner over a simulated host), the
// workflow in a test host, a private settings store. Library threads post to the host; the
// test pumps on its own thread and moves the host's fake clock.
class UpdateFixture : public ::testing::Test {
 protected:
  using Keyboard = sim::SimulatedZephelKeyboard;

  void SetUp() override {
    facade.reset();
    devio::DeviceManager::Hooks hooks;
    hooks.topBus = [road = road](std::shared_ptr<devio::DeviceManager> manager) { return road->topBus(manager); };
    facade.install_hooks(hooks);
  }

  void TearDown() override {
    closeTool();
    keyboards.clear();
    facade.reset();
    facade.install_hooks({});
  }

  // A keyboard on the bus, not yet plugged.
  std::shared_ptr<Keyboard> addKeyboard(Keyboard::Variant variant = Keyboard::Variant::First,
                                        const std::string& version = "") {
    Keyboard::Config config;
    config.variant = variant;
    config.version = !version.empty() ? version : variant == Keyboard::Variant::First ? "371.3.10" : "371.12.11";
    keyboards.push_back(Keyboard::create(bus, config));
    return keyboards.back();
  }

  // Starts the tool: the dialog's initialisation, then whatever the library queued meanwhile.
  void startTool(unsigned languageId = 1033) {
    host = std::make_unique<testsupport::TestDialogHost>(languageId);
    dlg = std::make_unique<CKavrinDFUDlg>(*host, facade, store.store());
    host->attach(*dlg);
    ASSERT_TRUE(dlg->OnInitDialog());
    host->pump();
  }

  // Ends the tool as the process would: the dialog goes, the manager goes.
  void closeTool() {
    dlg.reset();
    host.reset();
    facade.reset();
  }

  // A safety net only: a whole transfer through the HID transport under Wine can take longer than
  // the host's default bound on a loaded machine.
  bool waitFor(const std::function<bool()>& predicate) { return host->pumpUntil(predicate, std::chrono::minutes(1)); }

  std::string text(unsigned id, bool secondVariant = false) const {
    return CTextTable::LoadText(id, 1033, secondVariant);
  }
  std::string instructions() const { return host->controlText(CKavrinDFUDlg::IDC_INSTRUCTIONS); }

  // From old firmware to the transfer: check, arm, unplug (state 3 kept), replug in update mode.
  void startAndReplug(const std::shared_ptr<Keyboard>& keyboard) {
    keyboard->plug();
    startTool();
    ASSERT_EQ(dlg->state(), 3);
    keyboard->unplug();
    ASSERT_TRUE(waitFor([&] { return !dlg->holdsDevice(); }));
    keyboard->plug();
    ASSERT_TRUE(waitFor([&] { return dlg->holdsDevice(); }));
    ASSERT_EQ(keyboard->mode(), Keyboard::Mode::Update);
  }

  // Lets the transfer run until block `block` has gone out (its answer may still be queued).
  void runUntilBlockSent(unsigned block) {
    ASSERT_TRUE(waitFor([&] { return dlg->bytesSent() >= (block + 1) * CKavrinDFUDlg::BlockSize; }));
  }

  // Requests the keyboard's current plug received for a feature.
  std::size_t requestsTo(const std::shared_ptr<Keyboard>& keyboard, std::uint16_t featureId) const {
    auto device = keyboard->device();
    const auto index = device->featureIndex(featureId);
    std::size_t count = 0;
    for (unsigned function = 0; function < 16; ++function) count += device->countRequests(index, function);
    return count;
  }

  devio::CDevio& facade = devio::theDevio();
  std::shared_ptr<sim::SimulatedBus> bus = sim::SimulatedBus::create();
  // On Windows through the HID transport over a simulated host.
  std::shared_ptr<testsupport::HostRoad> road = std::make_shared<testsupport::HostRoad>(bus);
  std::vector<std::shared_ptr<Keyboard>> keyboards;
  testsupport::TemporarySettingsStore store;
  std::unique_ptr<testsupport::TestDialogHost> host;
  std::unique_ptr<CKavrinDFUDlg> dlg;
};

}  // namespace e2e
