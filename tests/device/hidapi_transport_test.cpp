#include "device/hidapi_transport.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// Repeating helps only where the failure can pass; a removed or forbidden
// device must fail at once.
TEST(HidapiTransportTest, ErrnoDecidesWhetherAFailureIsWorthRepeating) {
    for (int error : {EPIPE, EPROTO, EILSEQ, EIO, ETIMEDOUT, EAGAIN, EINTR, EINVAL})
        EXPECT_EQ(ClassifyErrno(error), HidResult::Transient) << error;
    for (int error : {ENODEV, ENOENT, ESHUTDOWN, EBADF, EACCES, EPERM, ENOMEM, 0})
        EXPECT_EQ(ClassifyErrno(error), HidResult::Error) << error;
}

// The reason decides what the user is told: install the udev rule, plug the
// mouse in again, or neither.
TEST(HidapiTransportTest, ErrnoOfAFailedOpenSaysWhy) {
    struct Case {
        int error;
        OpenFailure failure;
    };
    const Case cases[] = {
        {EACCES, OpenFailure::AccessDenied}, {EPERM, OpenFailure::AccessDenied},
        {ENOENT, OpenFailure::Gone},         {ENODEV, OpenFailure::Gone},
        {ENXIO, OpenFailure::Gone},          {EIO, OpenFailure::Other},
        {EBUSY, OpenFailure::Other},         {EMFILE, OpenFailure::Other},
        {EISDIR, OpenFailure::Other},        {0, OpenFailure::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OpenFailureForErrno(c.error), c.failure) << c.error;
}

TEST(HidapiTransportTest, FeatureFetchOutcome) {
    struct Case {
        int delivered;
        int error;
        HidResult result;
        std::vector<uint8_t> buffer;  // after the call, from 5 bytes of 0xEE
    };
    const Case cases[] = {
        {5, 0, HidResult::Ok, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {2, 0, HidResult::Error, {0xEE, 0xEE, 0, 0, 0}},  // short: the rest is no answer
        {0, 0, HidResult::Error, {0, 0, 0, 0, 0}},
        {-1, EIO, HidResult::Transient, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {-1, ENODEV, HidResult::Error, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delivered);
        std::vector<uint8_t> buffer(5, 0xEE);
        EXPECT_EQ(FinishFeatureFetch(c.delivered, c.error, buffer.data(), buffer.size()), c.result);
        EXPECT_EQ(buffer, c.buffer);
    }
}

// This machine may have no such mouse, but the default transport must be
// hidapi and must answer without one.
TEST(HidapiTransportTest, DefaultTransportIsHidapi) {
    SetHidTransport(nullptr);
    EXPECT_EQ(&CurrentHidTransport(), &DefaultHidapiTransport());
    EXPECT_EQ(CurrentHidTransport().Open("/nonexistent/hidraw"), nullptr);
}

// The errno of hidapi's own open() gets through to the reason. (Permission
// and success need a hidraw node: the VM stage shows those.)
TEST(HidapiTransportTest, FailedOpenKeepsItsReason) {
    HidapiTransport& transport = DefaultHidapiTransport();
    EXPECT_EQ(transport.Open("/nonexistent/hidraw"), nullptr);
    EXPECT_EQ(transport.LastOpenFailure(), OpenFailure::Gone);
    EXPECT_EQ(transport.Open("/"), nullptr);  // a folder: EISDIR
    EXPECT_EQ(transport.LastOpenFailure(), OpenFailure::Other);
}

}  // namespace
