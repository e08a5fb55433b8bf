#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/IDevice.h"
#include "devio/protocol/LastError.h"

namespace testsupport {

// One row of a device script: the request the device must receive, then the answer report to
// give or, when failure.code is not Success, the failure the command engine would report.
struct Exchange {
  devio::Bytes request;
  devio::Bytes answer;
  devio::LastError failure{};
  int switchSwidTo = 0;  // non-zero: the engine changed its software id during this exchange
};

// A Velo 2.0 answer as a device sends it: a short report when the payload fits, else a long
// one, zero-padded.
devio::Bytes answer(devio::Byte index, unsigned function, unsigned swid, const devio::Bytes& payload);

// An IDevice whose command engine is a script of exchanges, in order. Requests that do not
// follow the script fail the test. Single-threaded.
class ScriptedDevice : public devio::IDevice, public std::enable_shared_from_this<ScriptedDevice> {
 public:
  struct Sent {
    devio::Bytes request;
    bool cacheable;
    std::vector<int> match;
  };

  void expect(std::vector<Exchange> rows);
  std::size_t remaining() const { return script_.size(); }
  const std::vector<Sent>& sent() const { return sent_; }
  // Requests written with sendCommand, with their check flag.
  const std::vector<std::pair<devio::Bytes, bool>>& written() const { return written_; }

  int swidValue = 15;
  int pidValue = 0x6E21;
  bool acceptConfigured = true;
  bool acceptPending = true;
  std::vector<std::shared_ptr<devio::IFeature>> configuredCalls;
  std::vector<std::shared_ptr<devio::IFeature>> pendingCalls;

  bool sendSynchronousCommand(const devio::Bytes& cmd, devio::Bytes* rsp, bool cacheable,
                              const std::vector<int>& match) override;
  bool sendCommand(const devio::Bytes& cmd, bool check) override;
  int swid() override { return swidValue; }
  int pid() override { return pidValue; }
  bool set_configured(std::shared_ptr<devio::IFeature> feature) override;
  bool add_pending(std::shared_ptr<devio::IFeature> feature) override;

  bool initDevice(std::shared_ptr<devio::IDeviceManager>) override { return true; }
  bool uninitDevice() override { return true; }
  bool connected() override { return true; }
  bool removed() override { return false; }
  int type() override { return 0; }
  int transport() override { return 0; }
  int link_index() override { return 0; }
  std::shared_ptr<devio::IHardwareBus> bus() override { return nullptr; }
  std::string path() override { return "scripted"; }
  std::string name() override { return "Scripted device"; }
  int receiver_activity() override { return 0; }
  bool configured() override { return false; }
  bool has_pending() override { return false; }
  bool shutdown() override { return true; }
  void forget() override {}
  std::weak_ptr<devio::IDeviceManager> device_manager() override { return {}; }
  std::shared_ptr<devio::IFeature> feature_by_id(unsigned) override { return nullptr; }
  std::vector<std::shared_ptr<devio::IFeature>> features() override { return {}; }
  void abandon() override {}
  bool retry_load_feature_root() override { return true; }
  int receiver_status() override { return 0; }
  void confirm_configuration() override {}

 private:
  std::deque<Exchange> script_;
  std::vector<Sent> sent_;
  std::vector<std::pair<devio::Bytes, bool>> written_;
};

}  // namespace testsupport
