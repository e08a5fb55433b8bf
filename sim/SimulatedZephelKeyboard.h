#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devio/protocol/Byte.h"
#include "devio/runtime/Clock.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedDfuReceiver.h"
#include "sim/SimulatedVeloDevice.h"

namespace sim {

// The Kavrin Zephel keyboard, both variants, in its normal firmware and in its update mode, plugged
// into a SimulatedBus it is given. Each plug makes a new SimulatedChannel with a new
// SimulatedVeloDevice behind it, so a device manager sees a new arrival per plug.
//
// Input is checked as a corded device checks it (SimulatedVeloDevice::Config::strict): a report
// whose length does not fit its id or whose device index is not 0xFF is not answered; a request
// with software id 0 gets InvalidArgument.
//
// Normal mode (pid 0x6E21 / 0x6E29): Root, FeatureSet 0x0001, firmware information 0x0003
// (entity 0 the main firmware with the version text, entity 1 the bootloader), configuration
// cookie 0x0020, DFU control 0x00C1, LED control 0x1300, onboard profiles 0x8100.
//   0x00C1  function 0 GetDfuControl answers 00 <control> 00; function 1 SetDfuControl takes
//           the record a b c d 'D' 'F' 'U' with a 0 or 1 and b = c = d = 0 (anything else:
//           InvalidArgument); a = 1 arms update mode for the next plug, a = 0 disarms.
//   0x1300  three LEDs: 0 the logo (type 4), 1 and 2 the DPI LEDs (type 2). GetLEDCount,
//           GetLEDInfo (index, type, physical LEDs, capabilities high/low, NV capability),
//           GetNvConfig (index, value), SetNvConfig (index, value). A bad index: InvalidArgument.
//   0x8100  three 1024-byte sectors. GetOnboardProfilesInfo (10 bytes), SetActiveProfile /
//           GetActiveProfile (profiles 1 to 3, two bytes), ReadData (sector, offset; 16 bytes),
//           BeginWrite (sector, offset, length) / WriteData (16 bytes; answers 00 00) / EndWrite:
//           the written bytes are staged and replace the sector's bytes at EndWrite once the
//           whole announced length was written (otherwise EndWrite fails and nothing changes),
//           Get/SetActiveProfileResolution (index 0 to 4). Bad arguments: InvalidArgument.
// Update mode (pid 0x9D14 / 0x9D1C): Root, FeatureSet, firmware information (the bootloader
// active), DFU 0x00D0:
//   function 4 DFUStart with the start block: answered with status 1 (or an error status) in
//           byte 4 of the payload 00 00 00 00 <status>; after that answer, when the start block
//           was good, a status notification 00 00 00 00 01 (packet 0, status 1).
//   functions 0..3 data packets: the function must be (block number & 3), blocks counted from
//           the start block as 0. Answered 00 00 <block number> <status>: 1 go on, 2 (for the
//           end block of a complete, valid image) accepted, or an error status (DfuStatus). A
//           repeat of the block just taken (a host's retry after a lost answer) is answered
//           with that block's number and status again and not taken twice.
//   function 5 DFURestart: answered, then the keyboard restarts: it leaves the bus at once and
//           comes back Config::restartDelay later. Its version is then the accepted image's
//           version (the text after the image name in the program section, or the variant's
//           released version "371.3.11" / "371.12.12" when it carries none).
//
// Which mode a plug brings: update mode when armed (the arming is used up) or when the main
// firmware is not intact; normal mode otherwise. A DFUStart with a good start block erases the
// main firmware; only an accepted image makes it intact again. So an invalid, incomplete or
// interrupted transfer brings the keyboard back in update mode, as a real bootloader would.
//
// Settings (sectors, active profile, resolution index, LED NV configurations) belong to the
// keyboard, not to a mode: they survive plugs, mode changes and updates unchanged.
//
// Faults (Config::faults or setFaults, at any time) that name a block, by its number in the image
// (0 the start block), fire when that block arrives in a running transfer (a repeat does not
// count). Each fault fires once and is then cleared unless its comment says it stays; counts
// count down. They combine freely.
//
// Time: restarts and late answers are tasks of the keyboard's worker thread, due at a time of
// Config::clock; the worker waits on that clock, so under a ManualClock they happen when the
// clock gets there (sim::VirtualTime moves it when it watches idle() and requestCount()).
//
// Threads: every member is thread-safe. Requests are answered on the writing thread; restarts,
// late answers and the vanishing of Faults::unplugAtBlock run on the worker, which the
// destructor joins (tasks not yet due are dropped). plug/unplug/replug may be called from any
// thread except from inside a handler that the bus's announcements run directly.
class SimulatedZephelKeyboard : public std::enable_shared_from_this<SimulatedZephelKeyboard> {
 public:
  enum class Variant { First, Second };
  enum class Mode { Normal, Update };

  static constexpr std::uint16_t FirstNormalPid = 0x6E21;
  static constexpr std::uint16_t FirstUpdatePid = 0x9D14;
  static constexpr std::uint16_t SecondNormalPid = 0x6E29;
  static constexpr std::uint16_t SecondUpdatePid = 0x9D1C;
  static constexpr std::size_t SectorCount = 3;
  static constexpr std::size_t SectorSize = 1024;
  static constexpr int LedCount = 3;  // 0 logo, 1 and 2 DPI

  // What a returning firmware cannot tell about its version.
  enum class VersionFault {
    None,
    NoFirmwareInfo,  // the firmware offers no 0x0003
    ReadFails,       // every firmware information request gets an error answer
    NoMainEntity,    // 0x0003 lists only the bootloader, so there is no main firmware version
  };

  struct Faults {
    // The acknowledgement of this block is lost: for the start block, the packet-0 notification
    // is not sent; for a data block, its answer carries status 3 (busy, nothing to do). Either
    // way the host's command succeeds and no status 1 follows, so only its watchdog moves on.
    // (A host that sends the block again gets status 1: the block was taken.)
    std::optional<unsigned> lostAckAtBlock;
    // This block is answered with DfuStatus::Refused (the start block through DFUStart's answer)
    // and the transfer stops.
    std::optional<unsigned> errorAtBlock;
    // The keyboard vanishes when this block arrives (no answer); it comes back in update mode on
    // the next plug().
    std::optional<unsigned> unplugAtBlock;
    // A complete, valid image is answered with DfuStatus::Refused instead of 2; stays set.
    bool neverAccept = false;

    // The keyboard takes this block but its Velo response never comes, so the host's command
    // engine sends the request again; the repeat is answered as a duplicate (same status, the
    // block is not taken twice). Notifications that follow the answer are still sent. For the
    // start block, the host's repeat of DFUStart starts the image again.
    std::optional<unsigned> noAnswerAtBlock;
    // The Velo response to this block (and the notifications that follow it) arrives lateBy
    // after the request, on the keyboard's clock.
    std::optional<unsigned> lateAnswerAtBlock;
    std::chrono::milliseconds lateBy{4000};
    // After this block's answer, a status notification that repeats it (same packet number and
    // status), as a keyboard that reports a status twice would.
    std::optional<unsigned> duplicateStatusAtBlock;
    // After this block's answer, a status notification for the block before it, with status 1.
    // The start block has none before it: there the fault is cleared without effect.
    std::optional<unsigned> staleStatusAtBlock;

    // The image is accepted (status 2), but the old firmware stays: the restart brings normal
    // mode with the old version and features.
    bool acceptWithoutUpdate = false;
    // The image is accepted (status 2) and written (version() is its version), but the new
    // firmware does not boot: the main firmware is not intact, so the restart brings the
    // keyboard back in update mode. Stays set. acceptWithoutUpdate, when also set, goes first.
    bool bootFails = false;
    // DFURestart is answered but the keyboard stays attached, without restarting; once.
    bool ignoreRestart = false;
    // The next n valid SetDfuControl requests get an error answer (n = dfuControlFailures), then
    // the next m are answered with success but do not arm update mode (m = dfuControlIgnored).
    int dfuControlFailures = 0;
    int dfuControlIgnored = 0;
    // The firmware an accepted image brings, in every normal-mode plug after the acceptance:
    // what it cannot tell about its version, and whether it no longer offers DFU control
    // 0x00C1. They describe that firmware, so they stay set.
    VersionFault versionAfterUpdate = VersionFault::None;
    bool noDfuControlAfterUpdate = false;
  };

  // Everything the update's backup and restore touch.
  struct Settings {
    std::array<devio::Bytes, SectorCount> sectors;  // SectorSize bytes each
    int activeProfile = 1;
    int resolutionIndex = 2;
    std::array<devio::Byte, LedCount> ledNvConfigs{};  // by LED index
    bool operator==(const Settings&) const = default;
  };

  struct Config {
    Variant variant = Variant::First;
    // The running firmware: "A.B.C" with A of three digits, B below 100, C below 10000.
    std::string version = "371.3.10";
    // Per report and direction (SimulatedChannel::Config::latency), for benchmarks.
    std::chrono::microseconds latency{0};
    // Time between leaving the bus and coming back on a restart, on clock.
    std::chrono::milliseconds restartDelay{0};
    // The keyboard's time: restarts and late answers (default: the steady clock).
    std::shared_ptr<devio::Clock> clock;
    Faults faults;
  };

  // The keyboard starts unplugged (in normal mode when plugged); call plug(). A version text the
  // firmware information cannot carry throws std::invalid_argument.
  static std::shared_ptr<SimulatedZephelKeyboard> create(std::shared_ptr<SimulatedBus> bus, Config config);
  static std::shared_ptr<SimulatedZephelKeyboard> create(std::shared_ptr<SimulatedBus> bus) {
    return create(std::move(bus), Config{});
  }
  ~SimulatedZephelKeyboard();
  SimulatedZephelKeyboard(const SimulatedZephelKeyboard&) = delete;
  SimulatedZephelKeyboard& operator=(const SimulatedZephelKeyboard&) = delete;

  // Plugs in, in the mode the keyboard starts in; nothing when plugged.
  void plug();
  // Pulls the keyboard out; nothing when unplugged.
  void unplug();
  void replug();

  // Waits (real time, bounded) until the keyboard is plugged in this mode; answers whether it is.
  bool waitUntilPlugged(Mode mode, std::chrono::milliseconds bound = std::chrono::seconds(30));
  // Waits (real time, bounded) until the bus has announced the keyboard gone.
  bool waitUntilUnplugged(std::chrono::milliseconds bound = std::chrono::seconds(30));
  // Waits (real time, bounded) until count restarts have brought the keyboard back.
  bool waitForRestarts(int count, std::chrono::milliseconds bound = std::chrono::seconds(30));

  // Observation.
  // No work in hand: nothing is being answered on the current plug, no report is on its way to
  // the host and the keyboard's worker runs no task (it may be waiting for the time of one).
  // For VirtualTime, with requestCount.
  bool idle() const;
  // Reports received on all plugs so far, those not taken included.
  std::uint64_t requestCount() const;
  Variant variant() const { return variant_; }
  bool plugged() const;  // announced by the bus and not yet announced gone
  Mode mode() const;  // of the current plug, or of the last one while unplugged
  std::uint16_t pid() const;
  // The current plug's channel and device (null while unplugged). Faults of the device
  // (VeloFault: slow, missing, foreign or stale answers) last as long as that plug.
  std::shared_ptr<SimulatedChannel> channel() const;
  std::shared_ptr<SimulatedVeloDevice> device() const;
  std::string version() const;
  bool armed() const;
  bool firmwareIntact() const;
  Settings settings() const;
  int dfuStarts() const;
  int dataPackets() const;
  std::vector<unsigned> packetFunctions() const;  // Velo function of every data packet, in order
  // Whether the image of the last DFUStart was accepted (false while one is being received).
  bool imageAccepted() const;
  int restarts() const;  // restarts after DFURestart that have brought the keyboard back

  // Control.
  // False (and nothing changes) for a text the firmware information cannot carry.
  bool setVersion(const std::string& version);
  void setSettings(Settings settings);
  void setFaults(Faults faults);
  Faults faults() const;

  // The mode's product id of a variant.
  static std::uint16_t pidOf(Variant variant, Mode mode);
  // The recognisable factory contents of the settings.
  static Settings factorySettings();

 private:
  // A pending onboard-profile write: BeginWrite's region and the bytes written so far.
  struct ProfileWrite {
    std::size_t sector = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    devio::Bytes data;
  };

  class PlugDevice;  // the Velo device of one plug

  SimulatedZephelKeyboard(std::shared_ptr<SimulatedBus> bus, Config config);

  // The plug's device and firmware (mutex_ held).
  std::shared_ptr<PlugDevice> makeDevice(const std::shared_ptr<SimulatedChannel>& channel, Mode mode);
  void installNormalMode(PlugDevice& device);
  void installUpdateMode(PlugDevice& device);
  SimulatedVeloDevice::Firmware firmwareLocked(Mode mode) const;
  // What a normal-mode plug cannot tell about its version.
  VersionFault versionFaultLocked() const;
  // The behaviours of the features; they run on the writing thread.
  SimulatedVeloDevice::Answer onDfuStart(PlugDevice& device, const devio::Bytes& block);
  SimulatedVeloDevice::Answer onDfuPacket(PlugDevice& device, unsigned function, const devio::Bytes& block);
  SimulatedVeloDevice::Answer onDfuRestart(PlugDevice& device);
  // A complete, valid image was received (mutex_ held).
  void acceptImageLocked();
  // The answer to this block with the status notifications that follow it, as the block's faults
  // make them (mutex_ held).
  SimulatedVeloDevice::Answer replyLocked(PlugDevice& device, unsigned block, devio::Bytes payload,
                                          std::vector<devio::Bytes> notifications);
  SimulatedVeloDevice::Answer onReadData(const devio::Bytes& params);
  SimulatedVeloDevice::Answer onBeginWrite(const devio::Bytes& params);
  SimulatedVeloDevice::Answer onWriteData(const devio::Bytes& params);
  SimulatedVeloDevice::Answer onEndWrite();

  // Pulls the current plug out (plugMutex_ held).
  void unplugHeld();
  void plugHeld();
  // Queues a task for the worker, due delay from now on clock_.
  void post(std::function<void()> task, std::chrono::milliseconds delay = {});
  void work();
  // Worker tasks for the plug of this channel (nothing when it is gone already).
  void leave(const std::shared_ptr<SimulatedChannel>& channel);  // a restart's first half
  void vanish(const std::shared_ptr<SimulatedChannel>& channel);
  void comeBack();  // a restart's second half
  void vanishLocked();  // mutex_ held

  const std::shared_ptr<SimulatedBus> bus_;
  const Variant variant_;
  const std::chrono::microseconds latency_;
  const std::chrono::milliseconds restartDelay_;
  const std::shared_ptr<devio::Clock> clock_;

  std::mutex plugMutex_;      // serialises plugging and unplugging; taken before mutex_
  mutable std::mutex mutex_;  // guards everything below; never held while the bus announces
  std::condition_variable plugChanged_;
  std::shared_ptr<SimulatedChannel> channel_;
  std::shared_ptr<PlugDevice> device_;
  bool plugged_ = false;  // between the bus's announcements of a plug and of its end
  Mode mode_ = Mode::Normal;
  std::string version_;
  bool armed_ = false;
  bool intact_ = true;
  bool updated_ = false;  // the main firmware is the one an accepted image brought
  Settings settings_;
  std::optional<ProfileWrite> profileWrite_;
  std::uint64_t earlierRequests_ = 0;  // received on plugs before the current one
  SimulatedDfuReceiver receiver_;
  Faults faults_;
  bool imageAccepted_ = false;
  int dfuStarts_ = 0;
  std::vector<unsigned> packetFunctions_;
  int restarts_ = 0;

  mutable std::mutex workerMutex_;  // guards the worker's queue; never held while a task runs
  std::condition_variable workerWake_;
  std::multimap<devio::Clock::time_point, std::function<void()>> tasks_;  // by due time, in order
  bool resting_ = false;  // the worker waits, and nothing was posted since it began to
  bool stopping_ = false;
  std::thread worker_;  // last: started when everything else exists
};

}  // namespace sim
