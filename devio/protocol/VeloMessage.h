#pragma once

#include <cstddef>

#include "devio/protocol/Byte.h"
#include "devio/protocol/LastError.h"

// Framing of Velo reports (both protocol generations) and the error-response rules.
namespace devio::velo {

constexpr Byte ShortReportId = 0x10;      // 7 bytes in total
constexpr Byte LongReportId = 0x11;       // 20 bytes in total
constexpr Byte VeryLongReportId = 0x12;
constexpr std::size_t ShortReportLength = 7;
constexpr std::size_t LongReportLength = 20;

constexpr Byte DeviceIndexSelf = 0xFF;    // the device the channel is open to
constexpr Byte RootFeatureIndex = 0x00;

constexpr Byte Velo10ErrorSubId = 0x8F;   // byte 2 of a Velo 1.0 error response
constexpr Byte Velo20ErrorIndex = 0xFF;   // byte 2 of a Velo 2.0 error response

// Velo 1.0 register access sub-ids.
constexpr Byte SetShortRegister = 0x80;
constexpr Byte GetShortRegister = 0x81;
constexpr Byte GetLongRegister = 0x83;

// Report kinds, a bit mask.
constexpr int ShortReports = 1;
constexpr int LongReports = 2;
constexpr int VeryLongReports = 4;

// 0x10, 0xFF, feature index, (function << 4) | software id, then the parameters; id 0x11 when
// the result is longer than a short report. No padding: the channel pads.
Bytes buildRequest(Byte featureIndex, unsigned function, unsigned softwareId, const Bytes& params = {});

// Seven bytes: 0x10, 0xFF, sub-id, register, three value bytes.
Bytes buildRegisterRequest(Byte subId, Byte reg, Byte v0 = 0, Byte v1 = 0, Byte v2 = 0);

// (function << 4) | software id, as byte 3 of a Velo 2.0 request.
constexpr Byte functionByte(unsigned function, unsigned softwareId) {
  return static_cast<Byte>(((function & 0x0F) << 4) | (softwareId & 0x0F));
}

// At least 6 bytes and byte 2 is 0x8F (Velo 1.0) or 0xFF (Velo 2.0).
bool isErrorResponse(const Bytes& report);

// The code and raw error byte of an error response (isErrorResponse must hold); message is null.
LastError mapErrorResponse(const Bytes& error);

// True when the error response answers the request: same device index (or, for Velo 1.0,
// 0x00 answering 0xFF) and bytes 3 and 4 equal to the request's bytes 2 and 3.
bool errorAnswers(const Bytes& error, const Bytes& request);

// Velo 1.0 notifications: byte 2 is 0x40, 0x41, 0x49 or 0x4B.
bool isVelo10Notification(const Bytes& report);

// A Root function 1 request (or answer) whose byte 6 is 0: another program's protocol check.
bool isProtocolCheck(const Bytes& report);

// Feature-layer acceptance of a response: at least 7 bytes (else CommandResponseTooShort),
// byte 2 equal to the feature index and byte 3 to the function byte (else GeneralError,
// "response does not match command"). On success payload (if given) receives bytes 4..end.
// On failure the calling thread's LastError is set.
bool acceptResponse(const Bytes& response, Byte featureIndex, Byte functionByte, Bytes* payload);

}  // namespace devio::velo
