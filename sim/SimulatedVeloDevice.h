#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/Byte.h"
#include "sim/ManualClock.h"
#include "sim/SimulatedChannel.h"
#include "sim/SimulatedPeer.h"
#include "sim/VeloFault.h"

namespace sim {

// A Velo 2.0 device behind a SimulatedChannel.
//
// Answering: each request is answered inside onHostWrite, on the writing thread, so the answer
// is queued on the channel before a synchronous writer starts waiting (faults may delay it or
// leave it out). An answer repeats bytes 1..3 of the request (device index, feature index,
// function and software id); it is a short report (0x10, 7 bytes) when its payload fits in 3
// bytes, else a long one (0x11, 20 bytes). Requests to an unknown feature index get a Velo 2.0
// error with UnknownFeatureIndexError, requests to a function the feature lacks one with
// UnknownFunctionError; Velo 1.0 requests (feature index byte with bit 7 set) get a Velo 1.0
// error with UnknownSubIdError. In Velo 1.0-only mode every request gets that Velo 1.0 error.
//
// Strict input (Config::strict, as a corded device checks it): a report is taken only when its
// length fits its id (0x10: 7 bytes, 0x11: 20 bytes; bytes beyond that are the channel's padding
// to its report length and must be 0) and its device index is 0xFF; anything else is recorded but
// not answered, and no fault rule is spent on it. A Velo 2.0 request with software id 0 (the id
// of the device's own events) gets a Velo 2.0 error with InvalidArgumentError.
//
// Features: Root is always at index 0; Config::features fills indexes 1, 2, ... Behaviour is
// per (feature id, function): the built-in features Root 0x0000, FeatureSet 0x0001, firmware
// information 0x0003, configuration cookie 0x0020 and device reset 0x1802 answer from the
// device's state; setFunction adds or replaces the behaviour of any function. A feature in the
// table without behaviour for a function answers with UnknownFunctionError.
//
// Threads: every member is thread-safe. Functions run on the writing thread without the
// device's lock held, so they may call back into the device (notify, setFirmware, ...).
class SimulatedVeloDevice : public SimulatedPeer, public std::enable_shared_from_this<SimulatedVeloDevice> {
 public:
  static constexpr devio::Byte UnknownFeatureIndexError = 2;
  static constexpr devio::Byte UnknownFunctionError = 7;
  static constexpr devio::Byte UnknownSubIdError = 1;
  static constexpr devio::Byte InvalidArgumentError = 2;

  struct FeatureEntry {
    std::uint16_t id = 0;
    devio::Byte version = 0;
    bool obsolete = false;
    bool hidden = false;
    bool engineering = false;
  };

  // One firmware entity as GetFwInfo describes it.
  struct FirmwareEntity {
    devio::Byte type = 0;            // 0 main application, 1 bootloader, ...
    std::string prefix = "U1 ";      // three characters
    std::uint16_t version = 0x0100;  // BCD
    std::uint16_t build = 0x0001;    // BCD
    bool active = false;             // rdnf bit 0
    devio::Bytes extra = devio::Bytes(7, 0);
  };

  // What firmware information (0x0003) reports.
  struct Firmware {
    std::uint32_t unitId = 0x1A2B3C4D;
    std::uint16_t transport = 0;
    std::uint16_t pid1 = 0;
    std::uint16_t pid2 = 0;
    std::uint16_t pid3 = 0;
    devio::Byte extendedModelId = 0;
    std::vector<FirmwareEntity> entities{{0, "U1 ", 0x0100, 0x0001, true}, {1, "BOT", 0x0100, 0x0001, false}};
  };

  struct Config {
    std::vector<FeatureEntry> features{{0x0001}, {0x0003}, {0x0020}, {0x1802}};  // indexes 1, 2, ...
    devio::Byte protocol = 4;
    devio::Byte targetSoftware = 0;
    Firmware firmware;
    std::uint16_t cookie = 0;
    bool velo10Only = false;
    bool resetClearsCookie = true;  // device reset (0x1802) sets the cookie back to 0
    std::shared_ptr<ManualClock> clock;  // the time of VeloFault::late (without one, late is held)
    bool strict = false;                 // checks its input as a corded device does (above)
  };

  // What a function answers: a payload (bytes 4.. of the response), a Velo 2.0 error, or silence.
  // With sendVia, the response report goes to it instead of the channel (a device that delivers
  // it itself, later); a fault rule that hits the request still takes the response as usual.
  struct Answer {
    Answer(devio::Bytes data = {}) : payload(std::move(data)) {}
    static Answer error(devio::Byte code);
    static Answer silence();

    devio::Bytes payload;
    std::optional<devio::Byte> errorCode;
    bool silent = false;
    std::function<void(devio::Bytes report)> sendVia;
  };
  // Gets the request's parameters (bytes 4..end, as padded by the channel).
  using Function = std::function<Answer(const devio::Bytes& params)>;

  // Creates the device and makes it the peer of channel.
  static std::shared_ptr<SimulatedVeloDevice> create(const std::shared_ptr<SimulatedChannel>& channel, Config config);
  static std::shared_ptr<SimulatedVeloDevice> create(const std::shared_ptr<SimulatedChannel>& channel) {
    return create(channel, Config{});
  }

  void onHostWrite(const devio::Bytes& request) override;

  // Feature table and behaviour.
  void setFeatures(std::vector<FeatureEntry> features);  // indexes 1, 2, ...
  // The index of a feature id in the table; 0 when absent (as Root GetFeature answers).
  devio::Byte featureIndex(std::uint16_t featureId) const;
  // An empty function removes the behaviour.
  void setFunction(std::uint16_t featureId, unsigned function, Function behaviour);
  // Sends an event of the feature (software id 0); false when the feature is not in the table.
  bool notify(std::uint16_t featureId, unsigned function, const devio::Bytes& payload);

  // State of the built-in features; changing the firmware at run time simulates an update.
  void setFirmware(Firmware firmware);
  Firmware firmware() const;
  std::uint16_t cookie() const;
  void setCookie(std::uint16_t cookie);
  void setVelo10Only(bool velo10Only);

  // Fault rules, applied in order: each request takes the first rule that matches it.
  void inject(VeloFault fault);
  void clearFaults();
  // Delivers the answers kept back by VeloFault::held, in order; answers how many.
  std::size_t releaseHeld();

  // Every report received, in order, as written (padded).
  std::vector<devio::Bytes> requests() const;
  std::size_t requestCount() const;
  std::size_t countRequests(devio::Byte featureIndex, unsigned function) const;

  // True while no write is being answered (for VirtualTime).
  bool idle() const { return answering_ == 0; }
  std::shared_ptr<SimulatedChannel> channel() const { return channel_.lock(); }

 protected:
  SimulatedVeloDevice(std::weak_ptr<SimulatedChannel> channel, Config config);
  // Runs on the writing thread at the end of each onHostWrite, after the answer (if any) has been
  // handed on, while the device still counts as answering.
  virtual void onAnswered() {}

 private:
  void installCoreFeatures();
  std::optional<VeloFault> takeFault(const devio::Bytes& request);
  // The response report; *sendVia receives the function's own delivery, if it has one.
  std::optional<devio::Bytes> answerTo(const devio::Bytes& request, std::function<void(devio::Bytes)>* sendVia);
  void applyFault(const VeloFault& fault, const devio::Bytes& request, const std::optional<devio::Bytes>& answer,
                  const std::optional<devio::Bytes>& previous);
  void deliver(const std::optional<devio::Bytes>& report);
  devio::Bytes foreignReport(const devio::Bytes& request, unsigned softwareId) const;
  const FeatureEntry* entryLocked(std::uint16_t featureId, std::size_t* index) const;

  const std::weak_ptr<SimulatedChannel> channel_;
  const std::shared_ptr<ManualClock> clock_;
  std::atomic<int> answering_{0};
  mutable std::mutex mutex_;  // guards everything below; never held while a function runs
  Config config_;
  std::vector<FeatureEntry> table_;  // index -> feature; Root at 0
  std::map<std::pair<std::uint16_t, unsigned>, Function> functions_;
  std::deque<VeloFault> faults_;
  std::deque<devio::Bytes> held_;
  std::optional<devio::Bytes> lastAnswer_;
  std::vector<devio::Bytes> requests_;
};

}  // namespace sim
