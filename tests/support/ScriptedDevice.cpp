#include "tests/support/ScriptedDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace testsupport {

using devio::Byte;
using devio::Bytes;

namespace {
std::string hex(const Bytes& bytes) {
  std::string text;
  char pair[4];
  for (Byte b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X ", b);
    text += pair;
  }
  return text;
}
}  // namespace

Bytes answer(Byte index, unsigned function, unsigned swid, const Bytes& payload) {
  const std::size_t length = 4 + payload.size() <= 7 ? 7 : std::max<std::size_t>(4 + payload.size(), 20);
  Bytes report(length);
  report[0] = length == 7 ? 0x10 : 0x11;
  report[1] = 0xFF;
  report[2] = index;
  report[3] = static_cast<Byte>(((function & 0x0F) << 4) | (swid & 0x0F));
  std::copy(payload.begin(), payload.end(), report.begin() + 4);
  return report;
}

void ScriptedDevice::expect(std::vector<Exchange> rows) { script_.insert(script_.end(), rows.begin(), rows.end()); }

bool ScriptedDevice::sendSynchronousCommand(const Bytes& cmd, Bytes* rsp, bool cacheable,
                                            const std::vector<int>& match) {
  sent_.push_back({cmd, cacheable, match});
  if (script_.empty()) {
    ADD_FAILURE() << "unexpected request " << hex(cmd);
    devio::LastError::set(devio::NoResponse);
    return false;
  }
  const Exchange row = script_.front();
  script_.pop_front();
  EXPECT_EQ(hex(cmd), hex(row.request)) << "request " << sent_.size();
  if (row.switchSwidTo) swidValue = row.switchSwidTo;
  if (row.failure.code != devio::Success) {
    devio::LastError::set(row.failure);
    return false;
  }
  if (rsp) *rsp = row.answer;
  return true;
}

bool ScriptedDevice::sendCommand(const Bytes& cmd, bool check) {
  written_.emplace_back(cmd, check);
  return true;
}

bool ScriptedDevice::set_configured(std::shared_ptr<devio::IFeature> feature) {
  configuredCalls.push_back(std::move(feature));
  if (!acceptConfigured) devio::LastError::set(devio::NotConnected);
  return acceptConfigured;
}

bool ScriptedDevice::add_pending(std::shared_ptr<devio::IFeature> feature) {
  pendingCalls.push_back(std::move(feature));
  if (!acceptPending) devio::LastError::set(devio::NotConnected);
  return acceptPending;
}

}  // namespace testsupport
