#pragma once

#include <cstdint>

namespace devio {

// Library-wide result codes. Gaps (3, 23, 24, 69, 73) are reserved and never produced.
enum ErrorCode : std::uint32_t {
  Success = 0,
  GeneralError = 1,
  CommandResponseTooShort = 2,
  NoResponse = 4,
  NotConnected = 5,
  RegisterNotificationFailed = 6,
  InvalidDeviceHandle = 7,
  Velo10Error0 = 8,
  Velo10Error1 = 9,
  Velo10Error2 = 10,
  Velo10Error3 = 11,
  Velo10Error4 = 12,
  Velo10Error5 = 13,
  Velo10Error6 = 14,
  Velo10Error7 = 15,
  Velo10Error8 = 16,
  Velo10Error9 = 17,
  Velo10Error10 = 18,
  Velo10Error11 = 19,
  Velo10Error12 = 20,
  Velo10ErrorOther = 21,
  NotVelo20 = 22,
  WriteExceedsCollectionSize = 25,
  CannotPerformBlockingWriteOnReadThread = 26,
  CannotPerformWriteWithoutReadThreadRunning = 27,
  DeviceRemoved = 28,
  EmptyResponseData = 29,
  NotPresent = 30,
  PlatformFunctionMissing = 31,
  NoDevicePath = 32,
  OpenFailed = 33,
  GetAttributesFailed = 34,
  GetPreparsedDataFailed = 35,
  GetCapsFailed = 36,
  NotVendorUsagePage = 37,
  UnsupportedInterface = 38,
  WriteTimeout = 39,
  WriteError = 40,
  WindowCreationFailed = 41,
  EnumerationFailed = 42,
  SubscribeCastFailed = 43,
  Velo20Error0 = 44,
  Velo20Error1 = 45,
  Velo20Error2 = 46,
  Velo20Error3 = 47,
  Velo20Error4 = 48,
  Velo20Error5 = 49,
  Velo20Error6 = 50,
  Velo20Error7 = 51,
  Velo20Error8 = 52,
  Velo20Error9 = 53,
  Velo20ErrorOther = 54,
  Abandoned = 55,
  InvalidDescriptor = 56,
  IndexOutOfRange = 57,
  InvalidItem = 58,
  InvalidValue = 59,
  UnknownId = 60,
  WriteGeneralFailure = 61,
  WindowThreadFailed = 62,
  InterfaceNotificationFailed = 63,
  BluetoothUnavailable = 64,
  ArrivalCountMismatch = 65,
  PendingDuringReplay = 66,
  FwVersionChanged = 67,
  SoftwareIdConflict = 68,
  ForeignDevice = 70,
  WriteTooShort = 71,
  Unavailable = 72,
  BluetoothNotConnected = 74,
  FileHandleClosed = 75,
  InvalidConfigItem = 76,
  AddBusRetryFailed = 77,
  PingMismatch = 78,
};

// Velo 1.0 error code e maps to Velo10Error0 + e (e <= 12); Velo 2.0 error code e to Velo20Error0 + e (e <= 9).
constexpr ErrorCode velo10Error(unsigned e) {
  return e <= 12 ? ErrorCode(Velo10Error0 + e) : Velo10ErrorOther;
}
constexpr ErrorCode velo20Error(unsigned e) {
  return e <= 9 ? ErrorCode(Velo20Error0 + e) : Velo20ErrorOther;
}

// Codes on which the command engine pings and retries.
constexpr bool isSoftError(ErrorCode code) {
  return code == NoResponse || code == Velo10Error7 || code == Velo10Error9 || code == Velo20Error8 ||
         code == WriteGeneralFailure || code == SoftwareIdConflict;
}

}  // namespace devio
