#include "devio/protocol/VeloMessage.h"

namespace devio::velo {

Bytes buildRequest(Byte featureIndex, unsigned function, unsigned softwareId, const Bytes& params) {
  Bytes request{ShortReportId, DeviceIndexSelf, featureIndex, functionByte(function, softwareId)};
  request.insert(request.end(), params.begin(), params.end());
  if (request.size() > ShortReportLength) request[0] = LongReportId;
  return request;
}

Bytes buildRegisterRequest(Byte subId, Byte reg, Byte v0, Byte v1, Byte v2) {
  return {ShortReportId, DeviceIndexSelf, subId, reg, v0, v1, v2};
}

bool isErrorResponse(const Bytes& report) {
  return report.size() >= 6 && (report[2] == Velo10ErrorSubId || report[2] == Velo20ErrorIndex);
}

LastError mapErrorResponse(const Bytes& error) {
  const unsigned e = error[5];
  const ErrorCode code = error[2] == Velo10ErrorSubId ? velo10Error(e) : velo20Error(e);
  return LastError{code, e, nullptr};
}

bool errorAnswers(const Bytes& error, const Bytes& request) {
  if (!isErrorResponse(error) || request.size() < 4) return false;
  const bool sameIndex = error[1] == request[1] ||
                         (error[2] == Velo10ErrorSubId && error[1] == 0x00 && request[1] == DeviceIndexSelf);
  return sameIndex && error[3] == request[2] && error[4] == request[3];
}

bool isVelo10Notification(const Bytes& report) {
  if (report.size() < 3) return false;
  const Byte subId = report[2];
  return subId == 0x40 || subId == 0x41 || subId == 0x49 || subId == 0x4B;
}

bool isProtocolCheck(const Bytes& report) {
  return report.size() >= 7 && report[2] == RootFeatureIndex && (report[3] >> 4) == 1 && report[6] == 0;
}

bool acceptResponse(const Bytes& response, Byte featureIndex, Byte function, Bytes* payload) {
  if (response.size() < ShortReportLength) {
    LastError::set(CommandResponseTooShort);
    return false;
  }
  if (response[2] != featureIndex || response[3] != function) {
    LastError::set(GeneralError, 0, "response does not match command");
    return false;
  }
  if (payload) payload->assign(response.begin() + 4, response.end());
  return true;
}

}  // namespace devio::velo
