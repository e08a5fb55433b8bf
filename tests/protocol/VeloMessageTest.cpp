#include "devio/protocol/VeloMessage.h"

#include <gtest/gtest.h>

#include <iterator>
#include <thread>

namespace devio {
namespace {

TEST(VeloMessage, RequestLengthChoosesReportId) {
  const Bytes shortRequest = velo::buildRequest(0x05, 1, 0xA, {1, 2, 3});
  EXPECT_EQ(shortRequest, (Bytes{0x10, 0xFF, 0x05, 0x1A, 1, 2, 3}));
  const Bytes longRequest = velo::buildRequest(0x05, 1, 0xA, {1, 2, 3, 4});
  EXPECT_EQ(longRequest.size(), 8u);
  EXPECT_EQ(longRequest[0], 0x11);
  EXPECT_EQ(velo::buildRequest(0, 0, 15), (Bytes{0x10, 0xFF, 0x00, 0x0F}));
}

TEST(VeloMessage, RegisterRequest) {
  EXPECT_EQ(velo::buildRegisterRequest(velo::GetLongRegister, 0xB5, 0x20),
            (Bytes{0x10, 0xFF, 0x83, 0xB5, 0x20, 0x00, 0x00}));
}

struct ErrorCase {
  Bytes error;
  ErrorCode code;
  std::uint32_t detail;
};

class ErrorMapping : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorMapping, MapsCodeAndKeepsRawByte) {
  const ErrorCase& c = GetParam();
  ASSERT_TRUE(velo::isErrorResponse(c.error));
  const LastError e = velo::mapErrorResponse(c.error);
  EXPECT_EQ(e.code, c.code);
  EXPECT_EQ(e.detail, c.detail);
  EXPECT_EQ(e.message, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ErrorMapping,
    testing::Values(ErrorCase{{0x10, 0xFF, 0xFF, 0x05, 0x1A, 0x08, 0}, Velo20Error8, 8},
                    ErrorCase{{0x10, 0xFF, 0xFF, 0x05, 0x1A, 0x00, 0}, Velo20Error0, 0},
                    ErrorCase{{0x10, 0xFF, 0xFF, 0x05, 0x1A, 0x09, 0}, Velo20Error9, 9},
                    ErrorCase{{0x10, 0xFF, 0xFF, 0x05, 0x1A, 0x0A, 0}, Velo20ErrorOther, 10},
                    ErrorCase{{0x10, 0xFF, 0x8F, 0x81, 0x00, 0x0B, 0}, Velo10Error11, 0x0B},
                    ErrorCase{{0x10, 0xFF, 0x8F, 0x81, 0x00, 0x0C, 0}, Velo10Error12, 12},
                    ErrorCase{{0x10, 0xFF, 0x8F, 0x81, 0x00, 0x20, 0}, Velo10ErrorOther, 0x20}));

// Every raw protocol error code has its name, and the mapping yields it.
TEST(VeloMessage, ErrorNamesKeepTheNumbering) {
  const ErrorCode velo10[] = {Velo10Error0, Velo10Error1, Velo10Error2, Velo10Error3, Velo10Error4,
                              Velo10Error5, Velo10Error6, Velo10Error7, Velo10Error8, Velo10Error9,
                              Velo10Error10, Velo10Error11, Velo10Error12};
  const ErrorCode velo20[] = {Velo20Error0, Velo20Error1, Velo20Error2, Velo20Error3, Velo20Error4,
                              Velo20Error5, Velo20Error6, Velo20Error7, Velo20Error8, Velo20Error9};
  for (unsigned e = 0; e < std::size(velo10); ++e) {
    EXPECT_EQ(velo10[e], 8 + e);
    EXPECT_EQ(velo10Error(e), velo10[e]);
  }
  for (unsigned e = 0; e < std::size(velo20); ++e) {
    EXPECT_EQ(velo20[e], 44 + e);
    EXPECT_EQ(velo20Error(e), velo20[e]);
  }
}

TEST(VeloMessage, SoftErrors) {
  for (ErrorCode soft : {NoResponse, Velo10Error7, Velo10Error9, Velo20Error8, WriteGeneralFailure, SoftwareIdConflict})
    EXPECT_TRUE(isSoftError(soft)) << soft;
  for (ErrorCode hard : {NotConnected, Velo10Error8, Velo20Error7, Velo20ErrorOther, DeviceRemoved})
    EXPECT_FALSE(isSoftError(hard)) << hard;
}

TEST(VeloMessage, ErrorBelongsToRequest) {
  const Bytes request{0x10, 0xFF, 0x05, 0x1A, 0, 0, 0};
  EXPECT_TRUE(velo::errorAnswers({0x10, 0xFF, 0xFF, 0x05, 0x1A, 0x08, 0}, request));
  EXPECT_FALSE(velo::errorAnswers({0x10, 0xFF, 0xFF, 0x05, 0x1B, 0x08, 0}, request));
  EXPECT_FALSE(velo::errorAnswers({0x10, 0x00, 0xFF, 0x05, 0x1A, 0x08, 0}, request));
  // Velo 1.0 errors may carry device index 0x00 for a request sent to 0xFF.
  const Bytes registerRequest = velo::buildRegisterRequest(velo::GetShortRegister, 0x02);
  EXPECT_TRUE(velo::errorAnswers({0x10, 0x00, 0x8F, 0x81, 0x02, 0x02, 0}, registerRequest));
  EXPECT_FALSE(velo::errorAnswers({0x10, 0x01, 0x8F, 0x81, 0x02, 0x02, 0}, registerRequest));
  EXPECT_FALSE(velo::errorAnswers({0x10, 0xFF, 0xFF, 0x05, 0x1A}, request));  // too short
}

TEST(VeloMessage, RecognisesNotificationsAndProtocolChecks) {
  for (Byte subId : {0x40, 0x41, 0x49, 0x4B}) EXPECT_TRUE(velo::isVelo10Notification({0x10, 0x01, subId, 0, 0, 0, 0}));
  EXPECT_FALSE(velo::isVelo10Notification({0x10, 0x01, 0x42, 0, 0, 0, 0}));
  EXPECT_TRUE(velo::isProtocolCheck({0x10, 0xFF, 0x00, 0x1E, 0, 0, 0}));
  EXPECT_FALSE(velo::isProtocolCheck({0x10, 0xFF, 0x00, 0x1E, 0, 0, 0x5A}));
  EXPECT_FALSE(velo::isProtocolCheck({0x10, 0xFF, 0x00, 0x0E, 0, 0, 0}));
}

TEST(VeloMessage, AcceptResponse) {
  Bytes payload;
  EXPECT_TRUE(velo::acceptResponse({0x11, 0xFF, 0x03, 0x1F, 9, 8, 7}, 0x03, 0x1F, &payload));
  EXPECT_EQ(payload, (Bytes{9, 8, 7}));

  EXPECT_FALSE(velo::acceptResponse({0x10, 0xFF, 0x03, 0x1F, 9, 8}, 0x03, 0x1F, &payload));
  EXPECT_EQ(LastError::get().code, CommandResponseTooShort);

  EXPECT_FALSE(velo::acceptResponse({0x10, 0xFF, 0x03, 0x2F, 9, 8, 7}, 0x03, 0x1F, nullptr));
  EXPECT_EQ(LastError::get().code, GeneralError);
  EXPECT_STREQ(LastError::get().message, "response does not match command");
}

TEST(LastErrorTest, IsPerThread) {
  LastError::set(NotPresent, 3, "here");
  std::thread([] {
    EXPECT_EQ(LastError::get().code, Success);
    LastError::set(Unavailable);
  }).join();
  EXPECT_EQ(LastError::get().code, NotPresent);
  EXPECT_EQ(LastError::get().detail, 3u);
}

}  // namespace
}  // namespace devio
