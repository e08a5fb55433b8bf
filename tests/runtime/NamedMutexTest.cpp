#include "devio/runtime/NamedMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <random>
#include <set>
#include <thread>

#include "devio/protocol/LastError.h"
#include "tests/support/ChildMain.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MarkerDir.h"

namespace devio {
namespace {

using testsupport::ChildProcess;
using testsupport::MarkerDir;

// Takes the mutex (by lock(), or by the constructor when heldForLife), signals "held" and keeps
// it until "release" appears. Answers an exit code: 0 when all went well.
int holdUntilReleased(const std::string& name, const MarkerDir& markers, bool heldForLife) {
  NamedMutex mutex(name, heldForLife);
  if (!mutex.isOpen() || (!heldForLife && !mutex.lock())) return 2;
  if (!markers.signal("held") || !markers.waitFor("release")) return 3;
  return heldForLife || mutex.unlock() ? 0 : 4;
}

// args: mutex name, marker directory, "for-life" or "explicit".
KZ_CHILD_MAIN(namedMutexHolder) { return holdUntilReleased(args.at(0), MarkerDir(args.at(1)), args.at(2) == "for-life"); }

class NamedMutexTest : public testing::Test {
 protected:
  ~NamedMutexTest() override {
    for (const auto& name : names_) NamedMutex::remove(name);
  }

  // A name of this test alone (tests and test runs go on in parallel); removed afterwards.
  std::string name(const std::string& suffix = "") { return *names_.insert(base_ + suffix).first; }

 private:
  const std::string base_ = "devio-test-" + std::to_string(std::random_device{}());
  std::set<std::string> names_;
};

TEST_F(NamedMutexTest, EmptyNameLeavesNoHandle) {
  for (const bool heldForLife : {false, true}) {
    NamedMutex mutex("", heldForLife);
    EXPECT_FALSE(mutex.isOpen());
    EXPECT_FALSE(mutex.lock());
    EXPECT_EQ(LastError::get().code, Unavailable);
    EXPECT_FALSE(mutex.unlock());
  }
}

// A second lock would never return if the owner had to wait for itself; the other thread
// would never get it if one unlock were missing.
TEST_F(NamedMutexTest, OwnerLocksAgainWithoutWaiting) {
  const std::string shared = name();
  NamedMutex mutex(shared, false);
  ASSERT_TRUE(mutex.isOpen());
  ASSERT_TRUE(mutex.lock());
  ASSERT_TRUE(mutex.lock());
  EXPECT_TRUE(mutex.unlock());
  EXPECT_TRUE(mutex.unlock());
  std::thread([&] {
    NamedMutex other(shared, false);
    EXPECT_TRUE(other.lock());
    EXPECT_TRUE(other.unlock());
  }).join();
}

// Data written under one object of a name is seen complete under another.
TEST_F(NamedMutexTest, ThreadsTakeTurns) {
  const std::string shared = name();
  int counter = 0;
  const auto work = [&] {
    NamedMutex mutex(shared, false);
    for (int i = 0; i < 1000; ++i) {
      ASSERT_TRUE(mutex.lock());
      ++counter;
      mutex.unlock();
    }
  };
  std::thread first(work), second(work);
  first.join();
  second.join();
  EXPECT_EQ(counter, 2000);
}

// Holding one name must not block another that the host spells alike.
TEST_F(NamedMutexTest, NamesStayDistinct) {
  NamedMutex held(name("/a"), false);
  ASSERT_TRUE(held.lock());
  const std::vector<std::string> others{name("%2Fa"), name("_a"), name("a")};
  std::thread([&] {
    for (const auto& other : others) {
      NamedMutex mutex(other, false);
      EXPECT_TRUE(mutex.lock()) << other;
      EXPECT_TRUE(mutex.unlock()) << other;
    }
  }).join();
  held.unlock();
}

struct HolderCase {
  const char* label;
  bool inChild;
  bool heldForLife;
};

void PrintTo(const HolderCase& holder, std::ostream* out) { *out << holder.label; }

// holdUntilReleased in another thread or another process.
class Holder {
 public:
  Holder(const HolderCase& where, const std::string& name, const MarkerDir& markers) {
    if (where.inChild) {
      child_ = ChildProcess::start("namedMutexHolder",
                                   {name, markers.path().string(), where.heldForLife ? "for-life" : "explicit"});
    } else {
      thread_ = std::jthread([this, name, &markers, forLife = where.heldForLife] {
        threadResult_ = holdUntilReleased(name, markers, forLife);
      });
    }
  }

  std::optional<int> result() {
    if (thread_.joinable()) {
      thread_.join();
      return threadResult_;
    }
    return child_ ? child_->wait() : std::nullopt;
  }

  ChildProcess* child() const { return child_.get(); }

 private:
  std::unique_ptr<ChildProcess> child_;
  int threadResult_ = -1;
  std::jthread thread_;
};

class NamedMutexHolders : public NamedMutexTest, public testing::WithParamInterface<HolderCase> {};

// The contender starts waiting while the holder has the mutex; it must get it only after the
// release marker, after which the holder unlocks (or destroys its held-for-life object).
TEST_P(NamedMutexHolders, LockWaitsUntilTheHolderReleases) {
  const std::string shared = name();
  MarkerDir markers;
  Holder holder(GetParam(), shared, markers);
  ASSERT_TRUE(markers.waitFor("held"));

  std::atomic<bool> released{false};
  std::atomic<bool> acquiredAfterRelease{false};
  std::promise<void> contending;
  const std::future<void> contenderStarted = contending.get_future();
  std::jthread contender([&] {
    NamedMutex mutex(shared, false);
    contending.set_value();
    ASSERT_TRUE(mutex.lock());
    acquiredAfterRelease = released.load();
    mutex.unlock();
  });
  contenderStarted.wait();
  released = true;
  ASSERT_TRUE(markers.signal("release"));
  contender.join();

  EXPECT_TRUE(acquiredAfterRelease);
  EXPECT_EQ(holder.result(), 0);
}

INSTANTIATE_TEST_SUITE_P(Holders, NamedMutexHolders,
                         testing::Values(HolderCase{"Thread", false, false}, HolderCase{"ThreadForLife", false, true},
                                         HolderCase{"Process", true, false}, HolderCase{"ProcessForLife", true, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(NamedMutexTest, KilledHolderLeavesItAcquirable) {
  MarkerDir markers;
  Holder holder({"Process", true, false}, name(), markers);
  ASSERT_TRUE(holder.child());
  ASSERT_TRUE(markers.waitFor("held"));
  ASSERT_TRUE(holder.child()->kill());
  ASSERT_EQ(holder.result(), ChildProcess::kKilledExitCode);

  NamedMutex mutex(name(), false);
  EXPECT_TRUE(mutex.lock());
  EXPECT_TRUE(mutex.unlock());
}

TEST_F(NamedMutexTest, ThreadThatEndsHoldingItLeavesItAcquirable) {
  const std::string shared = name();
  NamedMutex mutex(shared, false);  // keeps the host mutex alive across the thread's end
  std::thread([&] {
    NamedMutex abandoned(shared, false);
    EXPECT_TRUE(abandoned.lock());
  }).join();
  EXPECT_TRUE(mutex.lock());
  EXPECT_TRUE(mutex.unlock());
}

}  // namespace
}  // namespace devio
