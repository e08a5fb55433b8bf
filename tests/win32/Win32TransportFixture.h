#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devio/runtime/Subscriber.h"
#include "devio/win32/Win32Bus.h"
#include "devio/win32/Win32Device.h"
#include "sim/win32/SimulatedWin32System.h"

namespace win32test {

// Waits, bounded by real time, for what other threads record.
template <class Entry>
class Log {
 public:
  void add(Entry entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    changed_.notify_all();
  }
  std::vector<Entry> waitFor(std::size_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return entries_.size() >= n; });
    return entries_;
  }
  std::vector<Entry> entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
};

// A bus's announcements as "+path" / "-path".
class Announcements final : public devio::Subscriber<devio::IHardwareBus::PlugUnplug> {
 public:
  void onPlug(std::shared_ptr<devio::IHardwareDevice> device) override { log.add("+" + device->path()); }
  void onUnplug(std::shared_ptr<devio::IHardwareDevice> device) override { log.add("-" + device->path()); }
  Log<std::string> log;
};

struct Received {
  devio::Bytes report;
  unsigned systemError;
};

// A channel's reads; `onEach` runs on the read thread for each one.
class Reads final : public devio::Subscriber<devio::IHardwareDevice::Read> {
 public:
  void onRead(devio::Bytes report, bool, unsigned systemError, unsigned) override {
    if (onEach) onEach(report);
    log.add({report, systemError});
  }
  std::function<void(const devio::Bytes&)> onEach;
  Log<Received> log;
};

class Writes final : public devio::Subscriber<devio::IHardwareDevice::Write> {
 public:
  void onWrite(devio::Bytes report, devio::ErrorCode error, unsigned) override { log.add({report, error}); }
  Log<std::pair<devio::Bytes, devio::ErrorCode>> log;
};

// The real bus and channels over a simulated host; what the device ends receive is recorded.
class Win32TransportTest : public ::testing::Test {
 protected:
  // The channels register their handles with the bus's window.
  void SetUp() override { bus->lazyStart(); }

  struct HostWrite {
    int device;
    std::size_t collection;
    devio::Bytes report;
  };

  int plug(sim::SimulatedHidDevice device) {
    const int id = host->plug(std::move(device), [this, next = nextId_](std::size_t collection, const devio::Bytes& r) {
      hostWrites.add({next, collection, r});
    });
    ++nextId_;
    return id;
  }
  int plugKeyboard() { return plug(sim::SimulatedHidDevice::zephel(0x6E21, "Zephel")); }

  std::shared_ptr<devio::Win32Device> channel(const std::string& path) {
    return std::make_shared<devio::Win32Device>(bus, host, path);
  }

  // Declared first, destroyed last: the channels' read threads are gone before they go.
  Reads reads;
  Writes writes;
  Announcements announcements;
  Log<HostWrite> hostWrites;
  std::shared_ptr<sim::SimulatedWin32System> host = std::make_shared<sim::SimulatedWin32System>();
  std::shared_ptr<devio::Win32Bus> bus = devio::Win32Bus::create({}, [host = host] { return host; });

 private:
  int nextId_ = 1;
};

}  // namespace win32test
