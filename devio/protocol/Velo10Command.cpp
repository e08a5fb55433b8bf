#include "devio/protocol/Velo10Command.h"

#include <algorithm>

#include "devio/protocol/LastError.h"
#include "devio/protocol/VeloMessage.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Velo10Command::" #name

namespace devio::Velo10Command {

namespace {

constexpr const char* kTag = "Velo10Command";
constexpr Byte kConnectionState = 0x02;
constexpr Byte kPairingInformation = 0xB5;
constexpr Byte kDeviceName = 0x40;
constexpr std::size_t kNameAnswerLength = 16;

bool refuseNull(IDevice* receiver, const char* message) {
  if (receiver) return false;
  LastError::set(Velo10Error11, 0, message);
  return true;
}

bool exchange(IDevice* receiver, const Bytes& request, Bytes* answer, std::size_t needed,
              const std::vector<int>& match = {}) {
  if (!receiver->sendSynchronousCommand(request, answer, false, match)) return false;
  if (answer->size() < needed) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  return true;
}

}  // namespace

bool set_receiver_connection_state(IDevice* receiver) {
  if (refuseNull(receiver, "null device pointer passed to set_receiver_connection_state!")) return false;
  Bytes answer;
  return exchange(receiver, velo::buildRegisterRequest(velo::SetShortRegister, kConnectionState, 0x02), &answer,
                  velo::ShortReportLength);
}

bool read_receiver_connection_state(IDevice* receiver, int* count, int* extra) {
  if (refuseNull(receiver, "null device pointer passed to read_receiver_connection_state!")) return false;
  Bytes answer;
  if (!exchange(receiver, velo::buildRegisterRequest(velo::GetShortRegister, kConnectionState), &answer,
                velo::ShortReportLength)) {
    return false;
  }
  if (count) *count = answer[5];
  if (extra) *extra = answer[6];
  return true;
}

bool read_receiver_paired_device_name(IDevice* receiver, int slot, std::string* name) {
  if (refuseNull(receiver, "null device pointer passed to read_receiver_paired_device_name!")) return false;
  Bytes answer;
  const auto parameter = static_cast<Byte>(kDeviceName + slot);
  // Byte 4 of the answer repeats the parameter: another slot's answer does not complete this one.
  if (!exchange(receiver, velo::buildRegisterRequest(velo::GetLongRegister, kPairingInformation, parameter), &answer,
                kNameAnswerLength, {0})) {
    return false;
  }
  // A length beyond the answer is cut to what the answer holds.
  const std::size_t length = std::min<std::size_t>(answer[5], answer.size() - 6);
  if (name) name->assign(answer.begin() + 6, answer.begin() + 6 + static_cast<std::ptrdiff_t>(length));
  xLog(kTag, LogDebug, FN(read_receiver_paired_device_name), "slot %d name of %d bytes", slot,
       static_cast<int>(length));
  return true;
}

}  // namespace devio::Velo10Command
