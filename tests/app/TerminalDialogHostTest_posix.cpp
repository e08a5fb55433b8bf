#include "app/terminal/TerminalDialogHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/ManualClock.h"

namespace {

// Records what the loop hands it; a test's script reacts to each step.
class ScriptedClient final : public TerminalDialogHost::Client {
 public:
  std::function<void()> onInit;
  std::function<void(unsigned, std::uintptr_t)> onMessage;
  std::function<void(std::uint32_t)> onTimer;
  std::vector<std::string> seen;

  bool OnInitDialog() override {
    seen.push_back("init");
    if (onInit) onInit();
    return true;
  }
  void OnMessage(unsigned message, std::uintptr_t wParam) override {
    seen.push_back("message " + std::to_string(message) + " " + std::to_string(wParam));
    if (onMessage) onMessage(message, wParam);
  }
  void OnTimer(std::uint32_t id) override {
    seen.push_back("timer " + std::to_string(id) + " at " + std::to_string(elapsedMs()));
    if (onTimer) onTimer(id);
  }

  std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
  devio::Clock::time_point start = clock->now();
  long long elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - start).count();
  }
};

class TerminalDialogHostTest : public ::testing::Test {
 protected:
  std::ostringstream out;
  TerminalView view{out, false};
  ScriptedClient client;
  TerminalDialogHost host{view, 1031, client.clock};

  // The loop has handled everything due and waits for the clock to move on (bounded).
  bool waitUntilLoopWaits() {
    for (int i = 0; i < 10000; ++i) {
      if (client.clock->waitersBlocked()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
};

TEST_F(TerminalDialogHostTest, PostedMessagesRunInOrderBeforeTheLoopEnds) {
  client.onInit = [&] {
    host.postMessage(1025, 0);
    host.postMessage(1026, 4);
  };
  client.onMessage = [&](unsigned message, std::uintptr_t) {
    if (message == 1026) host.postMessage(1027, 7);
    if (message == 1027) host.endDialog();
  };
  EXPECT_EQ(host.run(client), TerminalDialogHost::Ending::EndDialog);
  EXPECT_EQ(client.seen, (std::vector<std::string>{"init", "message 1025 0", "message 1026 4", "message 1027 7"}));
  EXPECT_EQ(host.languageId(), 1031u);
}

TEST_F(TerminalDialogHostTest, QuitDropsWhatIsStillQueued) {
  client.onInit = [&] {
    host.postMessage(1, 0);
    host.postMessage(2, 0);
  };
  client.onMessage = [&](unsigned, std::uintptr_t) { host.quit(); };
  EXPECT_EQ(host.run(client), TerminalDialogHost::Ending::Quit);
  EXPECT_EQ(client.seen, (std::vector<std::string>{"init", "message 1 0"}));
}

// The loop runs on its own thread while the test moves the clock; each timer reaches the client
// once its period has passed, in deadline order, and again each period until it is killed.
TEST_F(TerminalDialogHostTest, TimersFireInDeadlineOrderUntilKilled) {
  client.onInit = [&] {
    host.setTimer(7, 5000);
    host.setTimer(8, 2000);
    host.setTimer(9, 3000);
    host.setTimer(9, 3500);  // replaces the first one
  };
  client.onTimer = [&](std::uint32_t id) {
    if (id == 8 && client.elapsedMs() == 4000) host.killTimer(8);
    if (id == 7) host.endDialog();
  };
  std::thread loop([&] { host.run(client); });
  for (int step = 0; step < 5; ++step) {
    ASSERT_TRUE(waitUntilLoopWaits());
    client.clock->advanceMs(1000);
  }
  loop.join();
  EXPECT_EQ(client.seen, (std::vector<std::string>{"init", "timer 8 at 2000", "timer 9 at 4000", "timer 8 at 4000",
                                                   "timer 7 at 5000"}));
}

TEST_F(TerminalDialogHostTest, MessagesFromOtherThreadsWakeTheLoop) {
  client.onMessage = [&](unsigned message, std::uintptr_t) {
    if (message == 3) host.endDialog();
  };
  std::thread loop([&] { host.run(client); });
  std::thread poster([&] {
    for (unsigned message = 1; message <= 3; ++message) host.postMessage(message, message * 10);
  });
  poster.join();
  loop.join();
  EXPECT_EQ(client.seen, (std::vector<std::string>{"init", "message 1 10", "message 2 20", "message 3 30"}));
}

}  // namespace
