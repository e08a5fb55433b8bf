#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devio/features/IFeature00c1DFUControl.h"
#include "devio/features/IFeature00d0DFU.h"
#include "devio/features/IFeature1300LEDControl.h"
#include "devio/features/IFeature8100OnboardProfiles.h"
#include "devio/protocol/IFeature.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/runtime/Producer.h"
#include "tests/support/ScriptedDevice.h"

// Hand-made features behind a device that hands them out by id: the workflow's device
// procedures in isolation, including answers a real keyboard never gives.
namespace fakekeyboard {

class FakeFeature : public devio::IFeature, public std::enable_shared_from_this<FakeFeature> {
 public:
  explicit FakeFeature(unsigned id) : id_(id) {}
  unsigned id() override { return id_; }
  bool sendFeatureCommandNoResponse(int, const devio::Bytes&) override { return false; }
  bool sendFeatureCommand(int, const devio::Bytes&, devio::Bytes&, bool) override { return false; }
  bool sendFeatureCommand(int, const devio::Bytes&, devio::Bytes&, bool, std::vector<int>) override { return false; }
  bool is_configured() override { return false; }
  bool is_pending() override { return false; }
  std::shared_ptr<devio::IDevice> device() override { return nullptr; }
  bool obsolete() override { return false; }
  bool hidden() override { return false; }
  bool engineering() override { return false; }
  int index() override { return 1; }
  int version() override { return 0; }
  std::shared_ptr<devio::IFeature> self() override { return shared_from_this(); }

 private:
  unsigned id_;
};

class FakeDfuControl final : public FakeFeature, public devio::IFeature00c1DFUControl {
 public:
  FakeDfuControl() : FakeFeature(0x00C1) {}
  bool GetDfuControl(int*) override { return false; }
  bool SetDfuControl(devio::Byte a, devio::Byte, devio::Byte, devio::Byte) override {
    armed.push_back(a);
    return true;
  }
  std::vector<int> armed;
};

class FakeFirmwareInfo final : public FakeFeature, public devio::IFeature0003FirmwareInfo {
 public:
  explicit FakeFirmwareInfo(std::string text) : FakeFeature(0x0003), text_(std::move(text)) {}
  bool GetEntityCount(int*, int*, int*, int*, int*, int*, int*, bool) override { return false; }
  bool GetFwInfo(int, int*, std::string*, std::string*, std::string*, int*, std::vector<devio::Byte>*, bool) override {
    return false;
  }
  bool GetFwInfo(int, int*, std::string*, unsigned short*, unsigned short*, int*, std::vector<devio::Byte>*,
                 bool) override {
    return false;
  }
  bool GetFirmwareVersion(std::string* version) override {
    *version = text_;
    return true;
  }
  bool FindFwInfo(int, std::string*, unsigned short*, unsigned short*, int*, std::vector<devio::Byte>*) override {
    return false;
  }
  bool GetModelId(int*) override { return false; }
  bool GetExtendedModelId(int*, bool) override { return false; }

 private:
  std::string text_;
};

// LEDs by position; GetLEDInfo(i) describes leds[i], whose own index may differ from i.
class FakeLeds final : public FakeFeature, public devio::IFeature1300LEDControl {
 public:
  struct Led {
    int index;
    unsigned type;
    int nv;
  };
  explicit FakeLeds(std::vector<Led> list) : FakeFeature(0x1300), leds(std::move(list)) {}
  bool GetLEDCount(int* count) override {
    *count = static_cast<int>(leds.size());
    return true;
  }
  bool GetLEDInfo(int i, LEDInfo* info) override {
    if (i < 0 || i >= static_cast<int>(leds.size())) return false;
    info->index = static_cast<std::uint32_t>(leds[i].index);
    info->type = leds[i].type;
    return true;
  }
  bool GetNvConfig(int index, int* config) override {
    if (failReads) return false;
    *config = find(index)->nv;
    return true;
  }
  bool SetNvConfig(int index, int config) override {
    writes.emplace_back(index, config);
    find(index)->nv = config;
    return true;
  }
  bool HasSWControl(bool*) override { return false; }
  bool SetSWControl(int) override { return false; }
  bool GetLEDState(int, int*) override { return false; }
  bool GetLEDStateAdditionalInfo(int, int*, int*, bool*, int*) override { return false; }
  bool SetLEDState(int, int, int, int, int) override { return false; }

  std::vector<Led> leds;
  bool failReads = false;
  std::vector<std::pair<int, int>> writes;

 private:
  std::vector<Led>::iterator find(int index) {
    return std::find_if(leds.begin(), leds.end(), [index](const Led& led) { return led.index == index; });
  }
};

// Three sectors of 1024 bytes; each ReadData answers chunk bytes from (sector, offset), past the
// sector's end with 0xEE.
class FakeProfiles final : public FakeFeature, public devio::IFeature8100OnboardProfiles {
 public:
  explicit FakeProfiles(std::size_t readChunk = 16) : FakeFeature(0x8100), chunk(readChunk) {
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < 1024; ++i) sectors[s].push_back(static_cast<devio::Byte>(s * 64 + i % 61));
    }
  }
  bool GetOnboardProfilesInfo(OnboardProfilesInfo*) override { return true; }
  bool SetOnboardMode(bool) override { return false; }
  bool IsOnboardMode(bool*) override { return false; }
  bool SetActiveProfile(int profile) override {
    activeProfile = profile;
    return true;
  }
  bool GetActiveProfile(int* profile) override {
    *profile = activeProfile;
    return true;
  }
  bool ReadData(int sector, int offset, devio::Bytes* data) override {
    data->clear();
    for (std::size_t i = 0; i < chunk; ++i) {
      const std::size_t at = static_cast<std::size_t>(offset) + i;
      data->push_back(at < 1024 ? sectors[sector][at] : 0xEE);
    }
    return true;
  }
  bool BeginWrite(int sector, int, int) override {
    writeSector = sector;
    staged.clear();
    return true;
  }
  bool WriteData(const devio::Bytes& data, int*) override {
    staged.insert(staged.end(), data.begin(), data.end());
    ++dataWrites;
    return true;
  }
  bool EndWrite() override {
    sectors[writeSector] = staged;
    return true;
  }
  bool ExecuteMacro(int, int) override { return false; }
  bool GetCRC(int, devio::Bytes*) override { return false; }
  bool GetActiveProfileResolution(int* index) override {
    *index = resolution;
    return true;
  }
  bool SetActiveProfileResolution(int index) override {
    resolution = index;
    return true;
  }

  std::size_t chunk;
  devio::Bytes sectors[3];
  int activeProfile = 2;
  int resolution = 3;
  int dataWrites = 0;

 private:
  int writeSector = 0;
  devio::Bytes staged;
};

class FakeDfu final : public FakeFeature, public devio::IFeature00d0DFU, public devio::Producer<devio::IFeature00d0DFU::Report> {
 public:
  FakeDfu() : FakeFeature(0x00D0) {}
  bool DFUStart(devio::Bytes block, int* status, devio::Bytes*) override {
    sent.push_back(std::move(block));
    *status = 1;
    return true;
  }
  bool DFUSendPacket(unsigned n, devio::Bytes data) override {
    packets.push_back(n);
    sent.push_back(std::move(data));
    return true;
  }
  bool DFURestart(devio::Byte) override {
    ++restarts;
    return true;
  }
  std::vector<devio::Bytes> sent;
  std::vector<unsigned> packets;
  int restarts = 0;
};

// A keyboard of a product id whose features are the objects given, by feature id.
class FakeKeyboard final : public testsupport::ScriptedDevice {
 public:
  explicit FakeKeyboard(int pid) { pidValue = pid; }
  std::shared_ptr<devio::IFeature> feature_by_id(unsigned id) override {
    const auto it = features.find(id);
    return it == features.end() ? nullptr : it->second;
  }
  std::map<unsigned, std::shared_ptr<devio::IFeature>> features;
};

}  // namespace fakekeyboard
